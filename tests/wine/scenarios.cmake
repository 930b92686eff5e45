# The stand-in host's scenarios: every tests/wine/scenarios/<area>.cpp is
# compiled into the host, and each KELPIN_SCENARIO(name) at the start of a
# line becomes the ctest wine.<area>.<name>, run under Wine on a virtual
# display. Adding a file or a scenario re-runs configure by itself.
file(GLOB KELPIN_WINE_SCENARIO_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/wine/scenarios/*.cpp)
target_sources(kelpin_wine_host PRIVATE ${KELPIN_WINE_SCENARIO_SOURCES})
target_link_libraries(kelpin_wine_host PRIVATE version)
# The Windows seam itself, for the scenarios that try it without the add-in.
target_sources(kelpin_wine_host PRIVATE ${CMAKE_SOURCE_DIR}/src/platforms/win/platform_win.cpp)

# The host and the add-in alone in their folder: the DLL must load with no
# other DLL beside it.
set(KELPIN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set_target_properties(kelpin_wine_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELPIN_WINE_DIR})
add_custom_command(OUTPUT ${KELPIN_WINE_DIR}/kelpin.dll
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kelpin> ${KELPIN_WINE_DIR}/kelpin.dll
  DEPENDS kelpin
  COMMENT "Placing kelpin.dll beside the stand-in host")
add_custom_target(kelpin_wine_dll ALL DEPENDS ${KELPIN_WINE_DIR}/kelpin.dll)

set(KELPIN_WINE_RUN sh ${CMAKE_SOURCE_DIR}/tests/wine/run-scenario.sh ${KELPIN_WIN_ARCH}
  ${CMAKE_BINARY_DIR}/wineprefix)

# One Wine prefix for all scenarios, made by the first test run, and one
# session (a virtual display and a wineserver) for the whole run, ended by
# wine.end. The scenarios run one at a time (each resets the add-in's
# registry key).
add_test(NAME wine.start COMMAND ${KELPIN_WINE_RUN} --init $<TARGET_FILE:kelpin_wine_host>)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine_session RESOURCE_LOCK wine TIMEOUT 300)
add_test(NAME wine.end COMMAND ${KELPIN_WINE_RUN} --end)
set_tests_properties(wine.end PROPERTIES FIXTURES_CLEANUP wine_session RESOURCE_LOCK wine TIMEOUT 60)

set(KELPIN_WINE_SCENARIOS)
foreach(source ${KELPIN_WINE_SCENARIO_SOURCES})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  get_filename_component(area ${source} NAME_WE)
  file(STRINGS ${source} lines REGEX "^KELPIN_SCENARIO\\([A-Za-z0-9_]+\\)")
  foreach(line ${lines})
    string(REGEX REPLACE "^KELPIN_SCENARIO\\(([A-Za-z0-9_]+)\\).*" "\\1" name "${line}")
    list(APPEND KELPIN_WINE_SCENARIOS ${name})
    add_test(NAME wine.${area}.${name}
      COMMAND ${KELPIN_WINE_RUN} $<TARGET_FILE:kelpin_wine_host> ${name})
    set_tests_properties(wine.${area}.${name} PROPERTIES
      FIXTURES_REQUIRED wine_session RESOURCE_LOCK wine TIMEOUT 120)
  endforeach()
endforeach()

add_test(NAME wine.scenario_list
  COMMAND ${KELPIN_WINE_RUN} $<TARGET_FILE:kelpin_wine_host> --list ${KELPIN_WINE_SCENARIOS})
set_tests_properties(wine.scenario_list PROPERTIES
  FIXTURES_REQUIRED wine_session RESOURCE_LOCK wine TIMEOUT 120)

# The gallery (tests/wine/gallery.sh): a picture of every dialog of the real
# add-in, each the size of its template and not blank, and each the same as
# the one committed in docs/images, which scripts/screenshots regenerates.
add_test(NAME wine.gallery
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/gallery.sh ${KELPIN_WIN_ARCH} ${CMAKE_BINARY_DIR}
    ${CMAKE_BINARY_DIR}/gallery ${CMAKE_SOURCE_DIR}/docs/images)
set_tests_properties(wine.gallery PROPERTIES
  FIXTURES_REQUIRED wine_session RESOURCE_LOCK wine TIMEOUT 120)

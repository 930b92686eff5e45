# Windows i686: kelpin.dll, and the stand-in Host IDE that drives it under Wine.

enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${CMAKE_SOURCE_DIR}")

file(GLOB KELPIN_WIN_SOURCES CONFIGURE_DEPENDS src/platform/win/*.cpp)
add_library(kelpin SHARED ${KELPIN_WIN_SOURCES} resources/kelpin.rc src/platform/win/kelpin.def)
set_target_properties(kelpin PROPERTIES PREFIX "" OUTPUT_NAME kelpin)
# The DLL stands alone beside the host: no MinGW runtime DLL.
target_link_options(kelpin PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(kelpin PRIVATE kelpin_core user32 comdlg32 advapi32)
# windres reports no dependencies: name what the script includes.
file(GLOB KELPIN_ICONS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/icons/*.ico)
set_source_files_properties(resources/kelpin.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/resource.h;${KELPIN_ICONS}")

find_program(KELPIN_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
add_test(NAME dll.exports
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/check-dll.sh ${KELPIN_OBJDUMP} $<TARGET_FILE:kelpin>)

# The stand-in Host IDE: real windows around the headless editor model.
file(GLOB KELPIN_WINE_HOST_SOURCES CONFIGURE_DEPENDS tests/wine/*.cpp)
if(KELPIN_WINE_HOST_SOURCES)
  add_executable(kelpin_wine_host ${KELPIN_WINE_HOST_SOURCES})
  target_link_options(kelpin_wine_host PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(kelpin_wine_host PRIVATE kelpin_hostmodel user32 comdlg32 advapi32 gdi32)
  add_dependencies(kelpin_wine_host kelpin)
  include(${CMAKE_SOURCE_DIR}/tests/wine/scenarios.cmake OPTIONAL)
endif()

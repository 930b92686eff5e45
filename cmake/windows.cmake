# Windows: kelpin.dll, and the stand-in Host IDE that drives it under Wine.
# i686 (preset win32) builds the product; x86_64 (preset win64) builds the same
# sources for the 64-bit Wine, which runs where 32-bit code cannot.

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(KELPIN_WIN_ARCH win32)
  set(KELPIN_MINGW i686-w64-mingw32)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(KELPIN_WIN_ARCH win64)
  set(KELPIN_MINGW x86_64-w64-mingw32)
else()
  message(FATAL_ERROR "no Windows build for the processor ${CMAKE_SYSTEM_PROCESSOR}")
endif()

# Nothing that crosses the host interface may lose bits: a window handle,
# WPARAM/LPARAM or pointer is pointer-sized, and on x86_64 any narrowing of
# one (to int, DWORD or LONG) is an error. g++ already refuses a cast of a
# pointer to a narrower integer; -Wconversion catches the silent narrowings.
add_compile_options(-Wconversion -Wno-sign-conversion -Wint-to-pointer-cast)

enable_language(RC)
set(CMAKE_RC_FLAGS
  "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${CMAKE_SOURCE_DIR} -I${KELPIN_GENERATED}/version")

# The Windows platform: the seam on Win32. Its objects go whole into the
# DLL, after the layers that call the seam.
add_library(kelpin_win OBJECT src/platforms/win/platform_win.cpp)
target_link_libraries(kelpin_win PUBLIC kelpin_seam)
kelpin_layer_refuses(win_refuses_host kelpin_win host/host.h)
kelpin_layer_refuses(win_refuses_doubles kelpin_win doubles/model/host_model.h)

# The DLL's front door: the process attach and the four entry points, whose
# export names differ by architecture (stdcall names are decorated on i686).
add_library(kelpin SHARED src/dll/exports.cpp resources/kelpin.rc
  src/dll/kelpin-${CMAKE_SYSTEM_PROCESSOR}.def)
set_target_properties(kelpin PROPERTIES PREFIX "" OUTPUT_NAME kelpin)
# The DLL stands alone beside the host: no MinGW runtime DLL.
target_link_options(kelpin PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(kelpin PRIVATE kelpin_addin kelpin_win user32 comdlg32 advapi32)
# windres reports no dependencies: name what the script includes.
file(GLOB KELPIN_ICONS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/icons/*.ico)
set_source_files_properties(resources/kelpin.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/resource.h;${KELPIN_GENERATED}/version/kelpin_version.h;${KELPIN_ICONS}")
include(${CMAKE_SOURCE_DIR}/cmake/install.cmake)

# The DLL as a file, without running it: image kind, exports, imports and
# resources. Needs no Wine, so it runs on every machine.
find_program(KELPIN_OBJDUMP ${KELPIN_MINGW}-objdump REQUIRED)
add_test(NAME dll.check
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/check-dll.sh ${KELPIN_WIN_ARCH} ${KELPIN_OBJDUMP}
    $<TARGET_FILE:kelpin>)
set_tests_properties(dll.check PROPERTIES LABELS static)

# The stand-in Host IDE: real windows around the tests' editor model.
file(GLOB KELPIN_WINE_HOST_SOURCES CONFIGURE_DEPENDS tests/wine/*.cpp)
if(KELPIN_WINE_HOST_SOURCES)
  add_executable(kelpin_wine_host ${KELPIN_WINE_HOST_SOURCES})
  target_link_options(kelpin_wine_host PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(kelpin_wine_host PRIVATE kelpin_hostmodel kelpin_resources kelpin_seam
    user32 comdlg32 advapi32 gdi32)
  # A test program: it names its own files from the source root.
  target_include_directories(kelpin_wine_host PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests
    ${KELPIN_GENERATED}/version)
  add_dependencies(kelpin_wine_host kelpin)
  include(${CMAKE_SOURCE_DIR}/tests/wine/scenarios.cmake OPTIONAL)
endif()

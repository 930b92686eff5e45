# Linux: the posix platform, the kelpin CLI, the tests' doubles, unit tests,
# benchmarks, fuzz targets.

# The posix platform: files, folder locks, clock and current directory, by
# their own names (kelpin_posix_base), and the seam's functions that answer
# with them (kelpin_posix, whose object goes whole into the CLI). Nothing
# above the seam is visible to it.
kelpin_layer(kelpin_posix_base SOURCES src/platforms/posix/files.cpp src/platforms/posix/process.cpp
  EXPOSE src/platforms/posix/posix.h LINKS kelpin_seam)
add_library(kelpin_posix OBJECT src/platforms/posix/seam.cpp)
target_link_libraries(kelpin_posix PUBLIC kelpin_posix_base)
kelpin_layer_refuses(posix_refuses_host kelpin_posix_base host/host.h)
kelpin_layer_refuses(posix_refuses_doubles kelpin_posix_base doubles/headless.h)

# The tests' doubles implement the seam in place of the platforms: an
# in-process Host IDE, a scripted user, a registry, and the posix files,
# locks and clock with failures and a clock to inject. Their objects go whole
# into each test program that links them, after the layers that call the
# seam; nothing shipped links them. Their dialogs are generated from the
# resource script of the real ones.
set(KELPIN_TEMPLATES_INC ${CMAKE_BINARY_DIR}/generated/dialog_templates.inc)
add_custom_command(OUTPUT ${KELPIN_TEMPLATES_INC}
  COMMAND ${CMAKE_COMMAND} -DRC=${CMAKE_SOURCE_DIR}/resources/kelpin.rc
    -DOUT=${KELPIN_TEMPLATES_INC} -P ${CMAKE_SOURCE_DIR}/cmake/rc-templates.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/kelpin.rc ${CMAKE_SOURCE_DIR}/cmake/rc-templates.cmake
  COMMENT "Generating the doubles' dialog templates from kelpin.rc")
file(GLOB KELPIN_DOUBLES_SOURCES CONFIGURE_DEPENDS tests/doubles/*.cpp)
add_library(kelpin_doubles OBJECT ${KELPIN_DOUBLES_SOURCES} ${KELPIN_TEMPLATES_INC})
kelpin_expose(kelpin_doubles tests/doubles/headless.h tests/doubles/templates.h
  tests/doubles/state.h)
target_include_directories(kelpin_doubles PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(kelpin_doubles PUBLIC kelpin_hostmodel kelpin_posix_base kelpin_seam
  kelpin_resources)

# What the tests share: their support headers, included as "support/...".
add_library(kelpin_test_support INTERFACE)
target_include_directories(kelpin_test_support INTERFACE ${CMAKE_SOURCE_DIR}/tests)

# The language server's core: framing, documents, the index and the
# handlers, apart from the command line so that the fuzzer links it alone.
find_package(nlohmann_json REQUIRED)
# The product's version, for the CLI and the server to show.
add_library(kelpin_product_version INTERFACE)
target_include_directories(kelpin_product_version INTERFACE ${KELPIN_GENERATED}/version)
# What the CLI and the server share: writing the add-in's blocks, and JSON
# text.
add_library(kelpin_block_text STATIC cli/block_text.cpp cli/json_text.cpp)
target_link_libraries(kelpin_block_text PUBLIC kelpin_comments kelpin_host)
target_include_directories(kelpin_block_text PUBLIC cli)
file(GLOB KELPIN_LSP_SOURCES CONFIGURE_DEPENDS cli/lsp/*.cpp)
add_library(kelpin_lsp STATIC ${KELPIN_LSP_SOURCES})
target_link_libraries(kelpin_lsp PUBLIC kelpin_block_text kelpin_comments kelpin_navigation kelpin_scanner
  kelpin_product_version nlohmann_json::nlohmann_json)
target_include_directories(kelpin_lsp INTERFACE cli)
# The JSON library's header costs more to compile than most of the files
# that include it: once for the library, not once a file.
target_precompile_headers(kelpin_lsp PRIVATE <nlohmann/json.hpp>)
set_source_files_properties(cli/lsp/blocks.cpp cli/lsp/framing.cpp cli/lsp/index.cpp
  cli/lsp/text.cpp PROPERTIES SKIP_PRECOMPILE_HEADERS ON)

if(KELPIN_FUZZ)
  set(KELPIN_FUZZ_SECONDS 10 CACHE STRING "How long each fuzz target runs in the test")
  # Each target links only what it tests (and the tests' doubles when it
  # drives a dialog).
  set(KELPIN_FUZZ_LINKS_scanner_fuzz kelpin_scanner)
  set(KELPIN_FUZZ_LINKS_precise_fuzz kelpin_scanner)
  set(KELPIN_FUZZ_LINKS_version_fuzz kelpin_version)
  set(KELPIN_FUZZ_LINKS_comments_fuzz kelpin_comments kelpin_doubles)
  set(KELPIN_FUZZ_LINKS_lsp_fuzz kelpin_lsp kelpin_doubles)
  file(GLOB KELPIN_FUZZ_SOURCES CONFIGURE_DEPENDS tests/fuzz/*.cpp)
  foreach(source ${KELPIN_FUZZ_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    if(NOT DEFINED KELPIN_FUZZ_LINKS_${name})
      message(FATAL_ERROR "tests/fuzz/${name}.cpp: say in cmake/native.cmake what it links")
    endif()
    target_link_libraries(${name} PRIVATE ${KELPIN_FUZZ_LINKS_${name}} kelpin_test_support)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # A bounded run over the seed corpus and whatever it discovers; any crash,
    # sanitizer report or broken invariant fails the test.
    set(corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
    set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    add_test(NAME ${name}
      COMMAND sh -c "mkdir -p '${work}' && ./${name} -max_total_time=${KELPIN_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 '${work}' '${corpus}'"
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  endforeach()
  return()
endif()

find_package(CLI11 CONFIG REQUIRED)

# The CLI: a front door like the DLL, on the subsystems' own functions (the
# frame only for the add-in's version, which --version shows).
file(GLOB KELPIN_CLI_SOURCES CONFIGURE_DEPENDS cli/*.cpp)
list(FILTER KELPIN_CLI_SOURCES EXCLUDE REGEX "/(main|block_text|json_text)\\.cpp$")
add_library(kelpin_cli_lib STATIC ${KELPIN_CLI_SOURCES})
target_link_libraries(kelpin_cli_lib PUBLIC kelpin_addin kelpin_navigation kelpin_comments kelpin_version
  kelpin_scanner kelpin_lsp CLI11::CLI11 nlohmann_json::nlohmann_json)
target_include_directories(kelpin_cli_lib PUBLIC cli)
# Every command's file includes CLI11, whose header alone takes longer to
# compile than the command: it is compiled once.
target_precompile_headers(kelpin_cli_lib PRIVATE <CLI/CLI.hpp>)
add_executable(kelpin cli/main.cpp)
target_link_libraries(kelpin PRIVATE kelpin_cli_lib kelpin_posix)
target_precompile_headers(kelpin REUSE_FROM kelpin_cli_lib)
if(NOT KELPIN_SANITIZE)
  # A binary that runs wherever it is copied, and starts sooner: no shared
  # C++ runtime to find and relocate at every run of a Makefile rule.
  target_link_options(kelpin PRIVATE -static-libstdc++ -static-libgcc)
endif()
include(${CMAKE_SOURCE_DIR}/cmake/install.cmake)

# What is shipped, on the optimised build (ctest --preset release runs the
# label "dist"): the install rules, the man page against --help, the bash
# completion, the Debian package and the reproducibility of all three
# products. The package and the rebuild take kelpin.dll from build/win32.
if(NOT KELPIN_SANITIZE)
  set(KELPIN_DIST_TESTS ${CMAKE_SOURCE_DIR}/tests/dist)
  add_test(NAME dist.install
    COMMAND bash ${KELPIN_DIST_TESTS}/install-test.sh ${CMAKE_BINARY_DIR})
  add_test(NAME dist.man COMMAND bash ${KELPIN_DIST_TESTS}/man-test.sh $<TARGET_FILE:kelpin>
    ${KELPIN_GENERATED}/kelpin.1 ${CMAKE_SOURCE_DIR}/completions/kelpin.bash)
  add_test(NAME dist.completion
    COMMAND bash ${KELPIN_DIST_TESTS}/completion-test.sh $<TARGET_FILE:kelpin>
    ${CMAKE_SOURCE_DIR}/completions/kelpin.bash)
  add_test(NAME dist.package
    COMMAND bash ${KELPIN_DIST_TESTS}/package-test.sh ${CMAKE_SOURCE_DIR})
  add_test(NAME dist.reproducible
    COMMAND bash ${KELPIN_DIST_TESTS}/reproducible-test.sh ${CMAKE_SOURCE_DIR})
  set_tests_properties(dist.install dist.man dist.completion dist.package dist.reproducible
    PROPERTIES LABELS dist)
  # Both package into and build beside build/release and build/win32.
  set_tests_properties(dist.package dist.reproducible PROPERTIES
    RESOURCE_LOCK products TIMEOUT 600)
endif()

if(KELPIN_UNIT_TESTS)
  find_package(GTest REQUIRED)
  file(GLOB KELPIN_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp)
  add_executable(kelpin_tests ${KELPIN_TEST_SOURCES})
  target_precompile_headers(kelpin_tests PRIVATE <gmock/gmock.h> <nlohmann/json.hpp>)
  target_link_libraries(kelpin_tests PRIVATE kelpin_addin kelpin_cli_lib kelpin_doubles
    kelpin_test_support GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(kelpin_tests PRIVATE
    KELPIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KELPIN_CLI="$<TARGET_FILE:kelpin>")
  add_dependencies(kelpin_tests kelpin)
  # Which Wine the test command runs on this machine: the decision table.
  add_test(NAME wine_mode.decision COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/wine-mode-test.sh)
  # Tags files read by real editors: Vim's :tag and :tselect, Emacs' xref on
  # TAGS (skipped where the editor is not installed).
  foreach(editor vim emacs)
    add_test(NAME editors.${editor}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/editors/tags-in-editors-test.sh $<TARGET_FILE:kelpin> ${editor})
    set_tests_properties(editors.${editor} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  endforeach()

  include(GoogleTest)
  gtest_discover_tests(kelpin_tests DISCOVERY_TIMEOUT 60)
endif()

# kelpin lsp under real editors' clients: Neovim's, driven headless by a Lua
# script, and Emacs' eglot in batch mode (scripts/setup installs both).
foreach(editor neovim eglot)
  add_test(NAME lsp.${editor}
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/editors/editor-test.sh ${editor} $<TARGET_FILE:kelpin>)
  set_tests_properties(lsp.${editor} PROPERTIES LABELS "lsp;editors" TIMEOUT 150)
endforeach()

if(KELPIN_BENCH)
  find_package(benchmark REQUIRED)
  # Each links only what it measures: the scanners alone; command 1 needs the
  # add-in and the tests' doubles of the host it runs on.
  add_executable(kelpin_bench bench/scanner_bench.cpp bench/precise_bench.cpp)
  target_link_libraries(kelpin_bench PRIVATE kelpin_scanner benchmark::benchmark)
  add_executable(kelpin_navigation_bench bench/navigation_bench.cpp)
  target_link_libraries(kelpin_navigation_bench PRIVATE kelpin_addin kelpin_doubles
    benchmark::benchmark)
endif()

# The add-in is built in layers, each a library that links only the layers
# below it:
#
#   front doors     src/dll (kelpin.dll), cli (kelpin)
#   add-in          src/addin: entry points, state, dispatch, settings
#   subsystems      src/navigation, src/comments, src/version
#   host, scanner   src/host: the host's messages, its editor and pane as the
#                   commands work them; src/scanner: pure
#   seam            src/seam/platform.h, which names nothing above it
#
# and, beside the seam, the platforms that implement it, side by side in
# src/platforms and linked only into executables: win (the DLL's) and posix
# (the CLI's files, locks, clock and current directory). The tests' doubles of
# the Host IDE and the user (tests/doubles) implement it for the tests, the
# fuzz targets and the benchmarks, and nothing shipped links them.
#
# A layer's include root holds only the headers it offers (links into the
# source tree, made at configure time), and a library's sources see only the
# roots of itself and what it links: an include of a layer above, or of one
# it does not link, does not compile.

# kelpin_expose(<target> <path>...): the paths, relative to the source root,
# that <target> offers; "src/" or "tests/" is left out of the name they are
# included by ("src/scanner" is included as "scanner/...").
function(kelpin_expose target)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  foreach(path ${ARGN})
    string(REGEX REPLACE "^(src|tests)/" "" name "${path}")
    get_filename_component(parent ${root}/${name} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${name} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# kelpin_layer(<target> SOURCES <glob>... EXPOSE <path>... LINKS <target>...)
function(kelpin_layer target)
  cmake_parse_arguments(LAYER "" "" "SOURCES;EXPOSE;LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${LAYER_SOURCES})
  add_library(${target} STATIC ${sources})
  kelpin_expose(${target} ${LAYER_EXPOSE})
  target_link_libraries(${target} PUBLIC ${LAYER_LINKS})
endfunction()

# The bottom: the seam's interface, the resource ids, the host's messages.
add_library(kelpin_seam INTERFACE)
kelpin_expose(kelpin_seam src/seam/platform.h)
add_library(kelpin_resources INTERFACE)
kelpin_expose(kelpin_resources resources/resource.h)
# The host's messages and records, how its editors answer for their text,
# and the helpers every command works the host's editor and pane with.
kelpin_layer(kelpin_host SOURCES src/host/*.cpp EXPOSE src/host LINKS kelpin_seam)

# The scanner and the lookup: pure, they need nothing.
kelpin_layer(kelpin_scanner SOURCES src/scanner/*.cpp EXPOSE src/scanner)

# The subsystems.
kelpin_layer(kelpin_navigation SOURCES src/navigation/*.cpp EXPOSE src/navigation
  LINKS kelpin_host kelpin_scanner kelpin_resources)
kelpin_layer(kelpin_comments SOURCES src/comments/*.cpp EXPOSE src/comments
  LINKS kelpin_host kelpin_scanner kelpin_resources)
kelpin_layer(kelpin_version SOURCES src/version/*.cpp EXPOSE src/version
  LINKS kelpin_host kelpin_scanner kelpin_resources)

# The add-in frame on top of them.
kelpin_layer(kelpin_addin
  SOURCES src/addin/*.cpp
  EXPOSE src/addin
  LINKS kelpin_navigation kelpin_comments kelpin_version kelpin_host kelpin_scanner
    kelpin_resources)

# The tests' Host IDE model: portable, used by the doubles the unit tests run
# on and by the stand-in host that drives the real DLL under Wine.
kelpin_layer(kelpin_hostmodel SOURCES tests/doubles/model/*.cpp
  EXPOSE tests/doubles/model LINKS kelpin_host)

# An include that runs up the layers must not build: the scanner naming the
# add-in frame, a subsystem naming the frame's state, the host's messages
# naming the tests' doubles, the seam naming the host. Each probe is a file of its own, outside the normal
# build; its test compiles it and passes only when the compiler cannot find
# the header. One allowed include is probed too, so that a probe cannot pass
# for another reason.
function(kelpin_layer_probe name layer header)
  set(source ${CMAKE_BINARY_DIR}/layer-probes/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  add_library(layer_probe_${name} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(layer_probe_${name} PRIVATE ${layer})
  add_test(NAME layers.${name}
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layer_probe_${name})
  set_tests_properties(layers.${name} PROPERTIES LABELS static RESOURCE_LOCK build_tree)
endfunction()
function(kelpin_layer_refuses name layer header)
  kelpin_layer_probe(${name} ${layer} ${header})
  string(REPLACE "." "\\." pattern "${header}")
  set_tests_properties(layers.${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${pattern}: No such file|'${pattern}' file not found")
endfunction()
kelpin_layer_refuses(scanner_refuses_frame kelpin_scanner addin/addin.h)
kelpin_layer_refuses(scanner_refuses_host kelpin_scanner host/host.h)
kelpin_layer_refuses(comments_refuse_frame kelpin_comments addin/addin.h)
kelpin_layer_refuses(version_refuses_navigation kelpin_version navigation/navigation.h)
kelpin_layer_refuses(host_refuses_frame kelpin_host addin/addin.h)
kelpin_layer_refuses(host_refuses_doubles kelpin_host doubles/headless.h)
kelpin_layer_refuses(host_refuses_host_model kelpin_host doubles/model/host_model.h)
kelpin_layer_refuses(seam_refuses_host kelpin_seam host/host.h)
kelpin_layer_refuses(seam_refuses_scanner kelpin_seam scanner/scanner.h)
kelpin_layer_probe(comments_see_lookup kelpin_comments scanner/lookup.h)

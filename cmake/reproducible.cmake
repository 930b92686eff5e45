# Two builds of one commit give the same bytes, whatever folder each is in
# and whenever it runs.
#
# Paths the compiler writes into objects (__FILE__, debug information) are
# made relative: the source folder's and the build folder's prefixes are cut.
# The build folder comes second, since it may lie inside the source folder
# and the last matching map wins.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)

if(WIN32)
  # mingw-w64's linker stamps a PE image with the clock (or SOURCE_DATE_EPOCH
  # when the caller sets it). The stamp is left out instead: a time taken
  # from the commit at configure time would go stale at the next commit
  # without a relink, and the Windows loader reads no stamp of ours.
  add_link_options(-Wl,--no-insert-timestamp)
endif()

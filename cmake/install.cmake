# What `cmake --install <build> --prefix P` puts where. Included by
# native.cmake and windows.cmake once the target `kelpin` exists: the CLI in
# the Linux build, the add-in DLL in the Windows one.
#   Linux:   P/bin/kelpin, P/share/man/man1/kelpin.1,
#            P/share/bash-completion/completions/kelpin
#   Windows: P/lib/kelpin/kelpin.dll (the Debian package carries the 32-bit
#            one there, for the Host IDE on another machine)
include(GNUInstallDirs)

if(WIN32)
  # The DLL alone: no import library, nothing else beside it.
  install(FILES $<TARGET_FILE:kelpin> DESTINATION lib/kelpin)
else()
  install(TARGETS kelpin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${KELPIN_GENERATED}/kelpin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/completions/kelpin.bash
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME kelpin)
endif()

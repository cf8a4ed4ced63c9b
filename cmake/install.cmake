# What `cmake --install` puts where (any prefix; default /usr/local), and the Debian
# package that `cpack -G DEB` builds from the same rules.
#
#   bin/                        hopscope, hopscope-replay
#   libexec/hopscope/           hopscope-capture, the capture helper (with cap_net_raw)
#   share/hopscope/             the shipped data files; help/: the help pages
#   share/applications/         hopscope.desktop
#   share/icons/hicolor/        scalable/apps/hopscope.svg, 128x128/apps/hopscope.png
#   share/man/man1/             hopscope.1, hopscope-replay.1
#
# The programs find share/hopscope relative to their own bin/ (src/base/datadir.h), so a
# prefix may be moved after installing.

foreach(program hopscope hopscope-replay)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(hs_shipped protocol.pdl manf ethers demo.ethers font.bin cfdump.bin alarm.adl demo.pcap README.md)
list(TRANSFORM hs_shipped PREPEND ${CMAKE_SOURCE_DIR}/data/)
install(FILES ${hs_shipped} DESTINATION ${CMAKE_INSTALL_DATADIR}/hopscope)
# The help pages: Help > Help Topics looks for them in ../share/hopscope/help beside the
# installed program.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/help DESTINATION ${CMAKE_INSTALL_DATADIR}/hopscope)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/hopscope.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/hopscope.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/hopscope.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/man/hopscope.1 ${CMAKE_SOURCE_DIR}/data/man/hopscope-replay.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Live capture without root: the capture helper, and only it, gets cap_net_raw. No
# binary that loads Qt ever holds a capability. A staged install (DESTDIR, the package)
# leaves it to the package's post-install script.
if(TARGET hopscope-capture)
  set(HOPSCOPE_HELPER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/hopscope)
  install(TARGETS hopscope-capture RUNTIME DESTINATION ${HOPSCOPE_HELPER_DIR})
  install(CODE "
    set(helper \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${HOPSCOPE_HELPER_DIR}/hopscope-capture\")
    find_program(hs_setcap setcap PATHS /usr/sbin /sbin)
    execute_process(COMMAND id -u OUTPUT_VARIABLE hs_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT \"\$ENV{DESTDIR}\" STREQUAL \"\")
      message(STATUS \"Staged install: the package grants cap_net_raw to \${helper} when it is installed\")
    elseif(NOT hs_uid STREQUAL \"0\" OR NOT hs_setcap)
      message(STATUS \"Live capture without root needs, as root: setcap cap_net_raw+ep \${helper}\")
    else()
      execute_process(COMMAND \${hs_setcap} cap_net_raw+ep \${helper} RESULT_VARIABLE hs_rc)
      if(hs_rc EQUAL 0)
        message(STATUS \"Granted cap_net_raw to \${helper}\")
      else()
        message(STATUS \"Could not grant cap_net_raw to \${helper} (a file system without capabilities?); live capture needs root\")
      endif()
    endif()")
endif()

# The Debian package: `cpack -G DEB` in the build directory.
set(CPACK_PACKAGE_NAME hopscope)
set(CPACK_PACKAGE_VENDOR "Hopscope")
set(CPACK_PACKAGE_CONTACT "Hopscope maintainers <hopscope@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor of one Ethernet segment, drawn as a live network map")
set(CPACK_PACKAGE_DESCRIPTION
  "Hopscope reads every frame on one Ethernet segment (or in a capture file), keeps a live\nmodel of its stations, conversations and protocols, and draws it as a network map.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The runtime libraries' packages, found by dpkg-shlibdeps from the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
if(TARGET hopscope-capture)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/postinst.in ${CMAKE_BINARY_DIR}/debian/postinst @ONLY)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/postinst)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)

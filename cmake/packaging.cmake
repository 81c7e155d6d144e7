# Installation and release packages: a .deb and a .tar.gz on Linux, a ZIP on
# Windows (cpack, or the package presets).
if(WIN32)
  # A ZIP that users unpack anywhere: the programs and the README side by side.
  install(TARGETS cinerip blockrip RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  include(GNUInstallDirs)
  install(TARGETS cinerip blockrip RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/psx-adpcm-rippers)
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

# The project's CMake name has underscores, which Debian refuses in a package name.
set(CPACK_PACKAGE_NAME psx-adpcm-rippers)
set(CPACK_PACKAGE_VENDOR "The cinerip and blockrip developers")
set(CPACK_PACKAGE_CONTACT "The cinerip and blockrip developers <rippers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PlayStation SPU ADPCM to WAV converters (cinerip, blockrip)")
set(CPACK_PACKAGE_DESCRIPTION
  "cinerip extracts the audio track of PSX game video files (the Ad10 chunks), "
  "and blockrip converts raw streams of 16-byte SPU ADPCM blocks. Both write "
  "mono 16-bit PCM WAV files, exact to the sample.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

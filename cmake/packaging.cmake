# Installation and release packages: a .deb and a .tar.gz on Linux, a ZIP on
# Windows (cpack, or the package presets). Each package takes its components
# (cmake/package_components.cmake): the .tar.gz the static builds of the
# programs, which run on any Linux of their CPU; the .deb the programs as
# Debian links them; the ZIP the Windows ones, which are static anyway.
if(WIN32)
  # A ZIP that users unpack anywhere: the programs and the README side by side.
  install(TARGETS cinerip blockrip discrip RUNTIME DESTINATION . COMPONENT programs)
  install(FILES README.md DESTINATION . RENAME README.txt COMPONENT documentation)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  include(GNUInstallDirs)
  install(TARGETS cinerip blockrip discrip RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  if(TARGET cinerip_portable)
    install(TARGETS cinerip_portable blockrip_portable discrip_portable RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT portable_programs EXCLUDE_FROM_ALL)
  endif()
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/psx-adpcm-rippers COMPONENT documentation)
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

  # Named by system and CPU, so that no two builds' archives share a name.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(cpu arm64)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
    set(cpu x86_64)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  else()
    set(cpu ${CMAKE_SYSTEM_PROCESSOR})
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(CPACK_SYSTEM_NAME linux-${cpu})
  # By hand: dpkg-shlibdeps cannot read cross-built programs, and what it
  # finds depends on the build machine. Both CPUs' programs need these
  # versions (objdump -p lists them: GLIBC_2.34, GCC_3.3.1, GLIBCXX_3.4.26).
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.3.1), libstdc++6 (>= 9)")
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_components.cmake)

# The project's CMake name has underscores, which Debian refuses in a package name.
set(CPACK_PACKAGE_NAME psx-adpcm-rippers)
set(CPACK_PACKAGE_VENDOR "${RIPPERS_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${RIPPERS_VENDOR} <rippers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PlayStation SPU ADPCM to WAV converters (cinerip, blockrip)")
set(CPACK_PACKAGE_DESCRIPTION
  "cinerip extracts the audio track of PSX game video files (the Ad10 chunks), "
  "and blockrip converts raw streams of 16-byte SPU ADPCM blocks. Both write "
  "mono 16-bit PCM WAV files, exact to the sample.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
include(CPack)

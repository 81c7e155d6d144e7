# Read by cpack once for each generator: which components its package takes,
# and whether it holds them in a folder of its own, as an archive that users
# unpack anywhere does and a .deb, whose paths are the system's, must not.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENTS_ALL portable_programs documentation)
else()
  set(CPACK_COMPONENTS_ALL programs documentation)
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()

# Read by cpack once for each generator: which components its package takes.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENTS_ALL portable_programs documentation)
else()
  set(CPACK_COMPONENTS_ALL programs documentation)
endif()

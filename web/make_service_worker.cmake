# Writes the service worker into SITE_DIR from TEMPLATE, with the list of
# FILES it keeps and a version made from their contents, so that every build
# that changes a file has a cache of its own.
#   cmake -DSITE_DIR=... -DTEMPLATE=... "-DFILES=a;b" -P make_service_worker.cmake
set(contents "")
set(SITE_FILES "'./'")
foreach(file IN LISTS FILES)
  file(SHA256 ${SITE_DIR}/${file} hash)
  string(APPEND contents "${file} ${hash}\n")
  string(APPEND SITE_FILES ", '${file}'")
endforeach()
string(SHA256 SITE_VERSION "${contents}")
string(SUBSTRING ${SITE_VERSION} 0 16 SITE_VERSION)
configure_file(${TEMPLATE} ${SITE_DIR}/sw.js @ONLY)

# Writes the site's service worker from its template: the cache is named by a hash of every
# other file of the site, so each build that changes one has a cache of its own, and the
# worker lists them all to keep, with "./" for the page itself, and the SHA-256 of each, which
# it checks what it fetches against. The template holds the list
# as one quoted name, './' and the rest spliced in between its quotes, so that it stays
# JavaScript the linter can read.
#   cmake -DSITE=<site folder> -DFILES=<name>|... -DTEMPLATE=<sw.js> -P write_service_worker.cmake
string(REPLACE "|" ";" files "${FILES}")
list(SORT files)
set(hashes "")
set(QUORVALE_SITE_FILES "./")
file(SHA256 "${SITE}/index.html" QUORVALE_SITE_HASHES)
foreach(file IN LISTS files)
  file(SHA256 "${SITE}/${file}" hash)
  string(APPEND hashes "${hash} ${file}\n")
  string(APPEND QUORVALE_SITE_FILES "', '${file}")
  string(APPEND QUORVALE_SITE_HASHES "', '${hash}")
endforeach()
string(SHA256 build "${hashes}")
string(SUBSTRING "${build}" 0 16 QUORVALE_BUILD)
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)

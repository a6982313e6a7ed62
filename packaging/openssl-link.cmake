# Run by cpack on the staged files before packing them: the package's
# ossl/openssl names the system's tool, whichever one the build found.
file(GLOB_RECURSE links LIST_DIRECTORIES false
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*${CPACK_PACKAGING_INSTALL_PREFIX}/ossl/openssl")
list(LENGTH links count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "ossl/openssl not staged once but ${count} times: ${links}")
endif()
file(REMOVE ${links})
file(CREATE_LINK /usr/bin/openssl ${links} SYMBOLIC)

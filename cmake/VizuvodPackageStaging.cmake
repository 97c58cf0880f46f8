# Runs in CPack's staging folder before the package is made: every man page
# that an install rule put there uncompressed is gzipped, as Debian wants.
file(GLOB_RECURSE files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(file MATCHES "/share/man/man[1-9]/[^/]+\\.[1-9]$")
    execute_process(COMMAND gzip -9nf "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

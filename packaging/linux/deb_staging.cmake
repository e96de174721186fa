# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the Debian package's staging
# tree, after the install and before the archive is made: turns the installed
# tree into what Debian's policy asks of a package, as dh_installdocs,
# dh_installchangelogs and dh_compress would.
# - the programs without the compiler's notes (CPack has stripped it, but
#   plain strip keeps the .comment and .note sections);
# - the manual page compressed (gzip -9n: no name, no time stamp);
# - /usr/share/doc/mottler/copyright in the machine-readable format, in place
#   of the plain LICENSE (the same licence, said once);
# - the changelog, compressed, as changelog.gz (a native package's name).
cmake_minimum_required(VERSION 3.19)
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(docs "${root}/${CPACK_MOTTLER_DOCDIR}")
set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

find_program(GZIP gzip REQUIRED)
function(compress input output)
  execute_process(COMMAND ${GZIP} -9nc "${input}" OUTPUT_FILE "${output}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${input}")
  endif()
  file(CHMOD "${output}" PERMISSIONS ${readable})
endfunction()

foreach(program IN LISTS CPACK_MOTTLER_PROGRAMS)
  execute_process(COMMAND ${CPACK_MOTTLER_STRIP} --remove-section=.comment --remove-section=.note
                          "${root}/${program}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CPACK_MOTTLER_STRIP} could not strip ${root}/${program}")
  endif()
endforeach()

set(manual "${root}/${CPACK_MOTTLER_MANDIR}/man1/mottler.1")
compress("${manual}" "${manual}.gz")
file(REMOVE "${manual}")

file(REMOVE "${docs}/LICENSE")
configure_file("${CPACK_MOTTLER_COPYRIGHT}" "${docs}/copyright" COPYONLY)
file(CHMOD "${docs}/copyright" PERMISSIONS ${readable})
compress("${CPACK_MOTTLER_CHANGELOG}" "${docs}/changelog.gz")

# Run by cpack once it has written the ZIP (CPACK_POST_BUILD_SCRIPTS): packs the
# same files again with zip -X, so that the same commit gives the same bytes.
# CPack's own ZIP writer stores each file's inode change time, which no one
# can set, and adds the files in the order the file system lists them; here
# the entries are sorted and carry only the fixed time that
# cmake/package-sums.cmake gave the files, as in UTC.
find_program(ZIP zip REQUIRED)
get_filename_component(staging ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} NAME)
file(GLOB_RECURSE files RELATIVE ${staging} ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT files)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE ${package})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -X -D -q -9 ${package} ${files}
                  WORKING_DIRECTORY ${staging} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

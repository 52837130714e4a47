# The downloadable tools package (CPack, ZIP): channel_stamp.exe and
# channel_record.exe (linked without symbols or debug sections), the
# unstamped launcher to stamp copies from, a short README and SHA256SUMS of the
# four: `cmake --build --preset windows --target package` writes
# build/windows/package/channel-launcher-tools-VERSION-i686.zip. The same
# commit gives the same ZIP (cmake/package-repack.cmake).
if(NOT WIN32 OR CHANNEL_PRODUCT_ONLY)
  return()
endif()

# Only the three programs are built for the package (and for the install
# target), not the whole tree with its tests: the install step builds them
# itself instead of depending on "all".
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
install(CODE "execute_process(COMMAND \${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} -j ${cores}
                --target channel_stamp channel_record channel_launcher COMMAND_ERROR_IS_FATAL ANY)")
install(TARGETS channel_stamp channel_record RUNTIME DESTINATION .)
install(PROGRAMS ${CMAKE_BINARY_DIR}/launch_flow/channel_launcher.exe DESTINATION .)
configure_file(${CMAKE_SOURCE_DIR}/packaging/README.txt.in ${CHANNEL_GENERATED_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CHANNEL_GENERATED_DIR}/README.txt DESTINATION .)
# Runs after the files above are in place.
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/package-sums.cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME channel-launcher-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# CPack gathers the files; zip -X packs them again, the same way every time.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/package-repack.cmake)
include(CPack)

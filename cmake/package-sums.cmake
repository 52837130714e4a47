# The last install step of the tools package (cmake/Packaging.cmake): dates
# every file with one fixed time, so that the ZIP is the same for the same
# commit, and writes SHA256SUMS of them in sha256sum's format.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
# 1980-02-01: ZIP cannot date a file before 1980, in any time zone.
set(fixed_time 198002010000.00)
set(sums "")
foreach(name channel_launcher.exe channel_record.exe channel_stamp.exe README.txt)
  file(SHA256 "${root}/${name}" sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS" "${sums}")
file(GLOB files "${root}/*")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC touch -t ${fixed_time} ${files} "${root}"
                COMMAND_ERROR_IS_FATAL ANY)

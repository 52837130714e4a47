# The last install step of the tools package (cmake/Packaging.cmake): writes
# SHA256SUMS of the files in sha256sum's format.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(sums "")
foreach(name channel_launcher.exe channel_record.exe channel_stamp.exe README.txt)
  file(SHA256 "${root}/${name}" sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS" "${sums}")

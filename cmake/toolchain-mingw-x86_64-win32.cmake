# channel_launcher.exe at 64 bits, for the 64-bit test stage; see the i686 file.
set(CHANNEL_MINGW_ARCH x86_64)
set(CHANNEL_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)

# channel_launcher.exe as it ships. Its C++ runtime takes threads and locks
# from Windows itself rather than from the POSIX thread layer that the -posix
# runtime links in; the launcher has one thread.
set(CHANNEL_MINGW_ARCH i686)
set(CHANNEL_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)

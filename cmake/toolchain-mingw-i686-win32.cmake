# The same target with the win32 thread model: what channel_launcher.exe is
# built with (the Windows tree builds it in a tree of its own, product/). Its
# C++ runtime takes threads and locks from Windows itself rather than from the
# POSIX thread layer that the -posix runtime links in; the launcher has one
# thread, and GoogleTest, which needs std::mutex, keeps the -posix compilers.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)

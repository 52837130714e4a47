# 32-bit Windows, the width that ships; the tests' compilers.
set(CHANNEL_MINGW_ARCH i686)
set(CHANNEL_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)

# 64-bit Windows: the whole Windows test stage on machines whose kernel cannot
# run the 32-bit Wine (scripts/windows-way.sh); the tests' compilers.
set(CHANNEL_MINGW_ARCH x86_64)
set(CHANNEL_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)

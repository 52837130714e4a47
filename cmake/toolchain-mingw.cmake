# Cross-compiles for Windows with mingw-w64; the Windows tests run under Wine.
# Included by the toolchain files named after a target, which set
#   CHANNEL_MINGW_ARCH     i686 (what ships) or x86_64 (for machines whose
#                          kernel cannot run the 32-bit Wine)
#   CHANNEL_MINGW_THREADS  posix (std::mutex and std::thread, which GoogleTest
#                          needs) or win32 (the launcher itself)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${CHANNEL_MINGW_ARCH})

set(triple ${CHANNEL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-${CHANNEL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${triple}-g++-${CHANNEL_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The launcher's own tree (launch_flow/CMakeLists.txt) is built with the
# win32 thread model of the same target.
set(CHANNEL_PRODUCT_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-${CHANNEL_MINGW_ARCH}-win32.cmake)

# The Wine emulator is set in the top-level CMakeLists.txt, where the build
# tree (and so its private Wine prefix) is known.

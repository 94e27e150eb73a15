# The 32-bit Windows toolchain with the posix thread model: GoogleTest needs
# std::mutex, which the win32 thread model lacks.  Only the Windows tests use it.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)

# Cross-building the Windows DLL and its test programs with the mingw-w64
# compilers (POSIX thread model, so that std::thread and std::mutex work).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMBERLYX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMBERLYX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMBERLYX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMBERLYX_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${TAMBERLYX_MINGW_TRIPLET}-objdump)

# Libraries and headers come from the cross toolchain only; programs (and
# the header-only or platform-independent files the build locates itself)
# from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TAMBERLYX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Cross-compiling for 64-bit Windows with Debian's mingw-w64 compilers (the posix thread model,
# which std::thread and std::mutex need). Used for Qt itself and for the tool; libraries built
# for Windows are found only under the roots listed in N3FIX_WINDOWS_ROOTS (Qt's and SQLite's
# install folders) and the compilers' own, never among the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix CACHE FILEPATH "")

# A toolchain file is read again for every try_compile, which gets only the variables named here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES N3FIX_WINDOWS_ROOTS)
if(NOT N3FIX_WINDOWS_ROOTS AND DEFINED ENV{N3FIX_WINDOWS_ROOTS})
  set(N3FIX_WINDOWS_ROOTS $ENV{N3FIX_WINDOWS_ROOTS})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${N3FIX_WINDOWS_ROOTS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

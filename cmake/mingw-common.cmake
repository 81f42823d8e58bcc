# Shared part of the two mingw-w64 toolchain files; TW_MINGW_TRIPLE selects the target.
if(CMAKE_HOST_WIN32)
    # On a Windows machine (MSYS2's MINGW64 shell for x86-64): the toolchain on the PATH, whose
    # programs run natively, so the Windows tests run without Wine.
    set(CMAKE_C_COMPILER gcc)
    set(CMAKE_CXX_COMPILER g++)
    set(CMAKE_RC_COMPILER windres)
else()
    # Debian's cross toolchain.
    set(CMAKE_C_COMPILER ${TW_MINGW_TRIPLE}-gcc-posix)
    set(CMAKE_CXX_COMPILER ${TW_MINGW_TRIPLE}-g++-posix)
    set(CMAKE_RC_COMPILER ${TW_MINGW_TRIPLE}-windres)
    set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_TRIPLE})
    set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
    set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
    set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
    set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endif()

# Every binary must run on a clean Windows machine: link libgcc, libstdc++ and winpthread statically
# so that only DLLs shipped with Windows are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

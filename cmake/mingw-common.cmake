# Shared by the mingw-w64 toolchain files; NRVNC_MINGW_TRIPLET names the
# target. The posix thread model gives std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)
set(CMAKE_C_COMPILER ${NRVNC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NRVNC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NRVNC_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${NRVNC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry their runtime with them: only DLLs that every Windows has
# are imported (libgcc, libstdc++ and winpthread are linked in statically).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Cross build for 32-bit Windows with mingw-w64 (posix thread model): the
# program that ships (PE32). 32-bit Wine does not install here, so this build
# is checked by its file headers and import lists, and not run.
set(NRVNC_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

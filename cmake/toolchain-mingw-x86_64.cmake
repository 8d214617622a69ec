# Cross build for 64-bit Windows with mingw-w64 (posix thread model). This
# build is the one the tests run under 64-bit Wine; the program that ships
# comes from the i686 twin of this file. Same sources, same options.
set(NRVNC_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

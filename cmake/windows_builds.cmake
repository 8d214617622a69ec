# The Windows builds, hung off the Linux build as external projects: one
# `cmake --build` builds them, one `ctest` runs their tests under Wine.
#   windows-x86_64/  the core, the Windows backend and the Windows test
#                    programs, run under 64-bit Wine by the wine.* tests;
#   windows-i686/    the program that ships (PE32) and its libraries; 32-bit
#                    Wine does not install here, so it is checked by its file
#                    headers and import lists only.
# On when the mingw-w64 compilers (posix threads) are found; off in the
# sanitizer build, which has no Windows twin.
option(NRVNC_BUILD_WINDOWS "Cross-build for Windows with mingw-w64 when it is installed" ON)
if(NOT NRVNC_BUILD_WINDOWS OR NRVNC_SANITIZE)
    return()
endif()
find_program(NRVNC_MINGW_X86_64 x86_64-w64-mingw32-g++-posix)
find_program(NRVNC_MINGW_I686 i686-w64-mingw32-g++-posix)
if(NOT NRVNC_MINGW_X86_64 OR NOT NRVNC_MINGW_I686)
    message(STATUS "mingw-w64 (posix) not found: no Windows builds")
    return()
endif()

include(ExternalProject)
set(NRVNC_WINDOWS_BUILD_TYPE ${CMAKE_BUILD_TYPE})
if(NOT NRVNC_WINDOWS_BUILD_TYPE)
    set(NRVNC_WINDOWS_BUILD_TYPE Release)
endif()
foreach(arch x86_64 i686)
    set(tests ON)
    set(byproducts "")
    if(arch STREQUAL i686)
        set(tests OFF)
        # Named, so that Ninja looks at the program again after the build
        # step: the packages made in the same build take the new one.
        set(byproducts ${CMAKE_BINARY_DIR}/windows-i686/bin/NRVNC.exe)
    endif()
    ExternalProject_Add(nrvnc_windows_${arch}
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw-${arch}.cmake
            -DCMAKE_BUILD_TYPE=${NRVNC_WINDOWS_BUILD_TYPE}
            -DNRVNC_BUILD_TESTS=${tests}
            -DNRVNC_DEFAULT_REPEATER_HOST=${NRVNC_DEFAULT_REPEATER_HOST}
            -DNRVNC_FTP_SERVER_NAME=${NRVNC_FTP_SERVER_NAME}
            -DNRVNC_INTERNET_CHECK_URL=${NRVNC_INTERNET_CHECK_URL}
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${byproducts}
        INSTALL_COMMAND ""
        # The build output goes to the terminal as the Linux build's does.
        LOG_CONFIGURE OFF LOG_BUILD OFF)
endforeach()
set(NRVNC_WINDOWS_BIN_X86_64 ${CMAKE_BINARY_DIR}/windows-x86_64/bin)
set(NRVNC_WINDOWS_BIN_I686 ${CMAKE_BINARY_DIR}/windows-i686/bin)
set(NRVNC_WINDOWS_BUILDS ON)

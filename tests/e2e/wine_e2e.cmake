# The scenarios run with NRVNC.exe under 64-bit Wine (wine_e2e_test.py), on
# the test run's Wine desktop (prefix, Xvfb with openbox, wineserver) that
# the wine.prefix fixture of tests/win32/wine.cmake makes and ends. Needs the
# x86_64 Windows build (NRVNC_e2e.exe, vncviewer.exe).
if(NOT NRVNC_WINDOWS_BUILDS OR NOT EXISTS ${CMAKE_SOURCE_DIR}/app/nrvnc_win32_main.cpp)
    return()
endif()
find_program(NRVNC_WINE wine)
find_program(NRVNC_OPENBOX openbox)
if(NOT NRVNC_WINE OR NOT NRVNC_OPENBOX)
    message(STATUS "wine or openbox not found: no whole-program runs under Wine")
    return()
endif()

set(wine_state ${CMAKE_BINARY_DIR}/wine-prefix)
nrvnc_python_cases(e2e.wine wine_e2e_test.py Wine_Program 180
    "NRVNC_WINE_BIN=${NRVNC_WINDOWS_BIN_X86_64}/NRVNC_e2e.exe;NRVNC_WINE_VIEWER=${NRVNC_WINDOWS_BIN_X86_64}/vncviewer.exe;NRVNC_WINE_STATE=${wine_state};NRVNC_TOOLS_DIR=$<TARGET_FILE_DIR:nrvnc-repeater>"
    ${e2e_scenarios})
foreach(t ${e2e_scenarios})
    set_tests_properties(e2e.wine.${t} PROPERTIES FIXTURES_REQUIRED wine)
endforeach()

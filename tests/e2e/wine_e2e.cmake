# The scenarios run with NRVNC.exe under 64-bit Wine (wine_e2e_test.py). One
# Wine desktop (prefix, Xvfb with openbox, wineserver) serves every case of
# a test run: e2e.wine.setup makes it in a folder of that run's own under
# this build folder, e2e.wine.cleanup ends it. Needs the x86_64 Windows build (NRVNC_e2e.exe, vncviewer.exe).
if(NOT NRVNC_WINDOWS_BUILDS OR NOT EXISTS ${CMAKE_SOURCE_DIR}/app/nrvnc_win32_main.cpp)
    return()
endif()
find_program(NRVNC_WINE wine)
find_program(NRVNC_OPENBOX openbox)
if(NOT NRVNC_WINE OR NOT NRVNC_OPENBOX)
    message(STATUS "wine or openbox not found: no whole-program runs under Wine")
    return()
endif()

set(wine_state ${CMAKE_CURRENT_BINARY_DIR}/wine-desktop)
add_test(NAME e2e.wine.setup
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/wine_desktop.py setup ${wine_state})
add_test(NAME e2e.wine.cleanup
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/wine_desktop.py cleanup ${wine_state})
set_tests_properties(e2e.wine.setup PROPERTIES FIXTURES_SETUP wine_desktop TIMEOUT 180 RUN_SERIAL TRUE)
set_tests_properties(e2e.wine.cleanup PROPERTIES FIXTURES_CLEANUP wine_desktop TIMEOUT 60)

nrvnc_python_cases(e2e.wine wine_e2e_test.py Wine_Program 180
    "NRVNC_WINE_BIN=${NRVNC_WINDOWS_BIN_X86_64}/NRVNC_e2e.exe;NRVNC_WINE_VIEWER=${NRVNC_WINDOWS_BIN_X86_64}/vncviewer.exe;NRVNC_WINE_STATE=${wine_state};NRVNC_TOOLS_DIR=$<TARGET_FILE_DIR:nrvnc-repeater>"
    ${e2e_scenarios})
foreach(t ${e2e_scenarios})
    set_tests_properties(e2e.wine.${t} PROPERTIES FIXTURES_REQUIRED wine_desktop)
endforeach()

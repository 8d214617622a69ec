# Whole-program runs of NRVNC.exe under 64-bit Wine (wine_e2e_test.py). One
# Wine desktop (prefix, Xvfb with openbox, wineserver) serves every case of
# a test run: wine.e2e.setup makes it in this build folder, wine.e2e.cleanup
# ends it. Needs the x86_64 Windows build (NRVNC_e2e.exe, vncviewer.exe).
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
add_test(NAME wine.e2e.setup
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/wine_desktop.py setup ${wine_state})
add_test(NAME wine.e2e.cleanup
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/wine_desktop.py cleanup ${wine_state})
set_tests_properties(wine.e2e.setup PROPERTIES FIXTURES_SETUP wine_desktop TIMEOUT 180 RUN_SERIAL TRUE)
set_tests_properties(wine.e2e.cleanup PROPERTIES FIXTURES_CLEANUP wine_desktop TIMEOUT 60)

set(wine_e2e_tests
    test_local_session_connects_and_leaves_viewer_running
    test_internet_session_fetches_repeater_and_connects_through_it
    test_viewer_error_box_is_killed_and_retry_offered
    test_viewer_that_ends_at_once_has_not_started
    test_viewer_missing_shows_message_3_and_ends
    test_rejected_host_name_is_restored_and_saved_under_local_app_data
    test_no_internet_offers_local_only
    test_escape_and_exit_on_every_screen
    test_exit_program_on_code_ip_and_port_screens
    test_a_waiting_dialog_leaves_the_keyboard_to_the_program_the_operator_turned_to)
foreach(t ${wine_e2e_tests})
    add_test(NAME wine.e2e.${t}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/wine_e2e_test.py Wine_Program.${t})
    set_tests_properties(wine.e2e.${t} PROPERTIES
        ENVIRONMENT "NRVNC_WINE_BIN=${NRVNC_WINDOWS_BIN_X86_64}/NRVNC_e2e.exe;NRVNC_WINE_VIEWER=${NRVNC_WINDOWS_BIN_X86_64}/vncviewer.exe;NRVNC_WINE_STATE=${wine_state};NRVNC_TOOLS_DIR=$<TARGET_FILE_DIR:nrvnc-repeater>"
        FIXTURES_REQUIRED wine_desktop TIMEOUT 180 RUN_SERIAL TRUE)
endforeach()

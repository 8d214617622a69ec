# The Windows tests, run from the Linux build (included by tests/CMakeLists.txt
# when the Windows builds are on):
#   wine.prefix           makes the test run's own Wine desktop (a fixture: prefix,
#                         Xvfb with openbox, wineserver), in
#                         wine-prefix/run-<ctest's pid>-<its start> of this build
#                         folder: two runs at once have two (see wine_run.py). The
#                         whole-program runs under Wine (e2e.wine.*) use it too;
#   wine.test_<subject>   one per Windows test program, run under Wine;
#   wine.prefix_stop      ends the desktop's wineserver and display afterwards;
#   windows.programs      the file headers and import lists of every program.
# A subject folder may hold a file wine_run_options with options for the
# runner (--ftp: see wine_run.py).
# The system Python: it has pyftpdlib (python3-pyftpdlib).
set(Python3_EXECUTABLE /usr/bin/python3)
set(wine_prefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(wine_runner ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wine_run.py --prefix ${wine_prefix})

set(wine_desktop ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/wine_desktop.py)
add_test(NAME wine.prefix COMMAND ${wine_desktop} setup ${wine_prefix})
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 180 RUN_SERIAL TRUE)
add_test(NAME wine.prefix_stop COMMAND ${wine_desktop} cleanup ${wine_prefix})
set_tests_properties(wine.prefix_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

foreach(subject ${NRVNC_WINE_TEST_SUBJECTS})
    set(options "")
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${subject}/wine_run_options)
        file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/${subject}/wine_run_options options)
        separate_arguments(options UNIX_COMMAND "${options}")
    endif()
    add_test(NAME wine.test_${subject}
             COMMAND ${wine_runner} ${options} ${NRVNC_WINDOWS_BIN_X86_64}/test_${subject}.exe)
    set_tests_properties(wine.test_${subject} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endforeach()

add_test(NAME windows.programs
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_windows_programs.py
                 --expect NRVNC.exe
                 --x86_64 ${CMAKE_BINARY_DIR}/windows-x86_64
                 --i686 ${CMAKE_BINARY_DIR}/windows-i686)

# The stand-in tests run the built tools as child processes and look at the
# windows under Xvfb with Xlib.
find_package(X11 REQUIRED)
target_link_libraries(test_${subject} PRIVATE X11::X11)
target_compile_definitions(test_${subject} PRIVATE
    NRVNC_TOOLS_DIR="$<TARGET_FILE_DIR:nrvnc-repeater>"
    NRVNC_TEST_SUPPORT_DIR="${CMAKE_SOURCE_DIR}/tests/support")
add_dependencies(test_${subject} nrvnc-repeater vncviewer)

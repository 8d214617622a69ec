# The X11 backend under a private Xvfb; XTest types keys and clicks.
find_package(X11 REQUIRED)
target_link_libraries(test_${subject} PRIVATE nrvnc_x11 nrvnc_linux_services X11::X11 X11::Xtst)
# The program itself, for the run without a display.
target_compile_definitions(test_${subject} PRIVATE NRVNC_PROGRAM="$<TARGET_FILE:nrvnc>")
add_dependencies(test_${subject} nrvnc)

target_link_libraries(test_${subject} PRIVATE nrvnc_linux_services)
# Where the loopback FTP server script lives.
target_compile_definitions(test_${subject} PRIVATE
    NRVNC_TEST_SUPPORT_DIR="${CMAKE_CURRENT_LIST_DIR}/../support")

target_link_libraries(test_${subject} PRIVATE nrvnc_linux_services)
# The contract every backend keeps, and where the loopback FTP server script lives.
target_sources(test_${subject} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support/services_contract.cpp)
target_compile_definitions(test_${subject} PRIVATE
    NRVNC_TEST_SUPPORT_DIR="${CMAKE_CURRENT_LIST_DIR}/../support")

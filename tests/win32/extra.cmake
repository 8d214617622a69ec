# The Windows services against real peers: the contract every backend keeps,
# and the child program the process and window tests start, beside the test
# program.
target_sources(test_${subject} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support/services_contract.cpp)
add_executable(nrvnc_child WIN32 ${CMAKE_CURRENT_LIST_DIR}/nrvnc_child.cpp)
add_dependencies(test_${subject} nrvnc_child)
target_link_libraries(test_${subject} PRIVATE ws2_32 wininet)

# The TigerVNC adapter's protocol logic (Linux only, like the adapter).
target_link_libraries(test_${subject} PRIVATE nrvnc_adapter)

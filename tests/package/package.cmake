# The release artifacts installed and run for real (package_test.py),
# included by cmake/packaging.cmake. The Windows case also needs two test
# packages made from the same package source: the x86_64 program with the
# viewer stand-in inside (the 32-bit program cannot run under this Wine),
# and a lower version of the shipped package to upgrade from.
set(test_dir ${CMAKE_BINARY_DIR}/package-test)
set(environment "NRVNC_RELEASE_DIR=${NRVNC_RELEASE_DIR};NRVNC_PACKAGE_TESTS=${test_dir}")
add_test(NAME package.deb COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/package_test.py Deb)
set_tests_properties(package.deb PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 180 RUN_SERIAL TRUE)
if(NOT NRVNC_WINDOWS_BUILDS OR NOT NRVNC_WIXL)
    return()
endif()

set(viewer ${test_dir}/viewer)
file(WRITE ${viewer}/SecureVNCPlugin.dsm "a stand-in for the encryption plug-in\n")
add_custom_command(OUTPUT ${viewer}/vncviewer.exe
    COMMAND ${CMAKE_COMMAND} -E copy ${NRVNC_WINDOWS_BIN_X86_64}/vncviewer.exe ${viewer}
    DEPENDS nrvnc_windows_x86_64 VERBATIM)
nrvnc_msi(${test_dir}/NRVNC-x64.msi x64 ${NRVNC_WINDOWS_BIN_X86_64}/NRVNC.exe ${viewer}
          ${NRVNC_MSI_VERSION} nrvnc_windows_x86_64)
nrvnc_msi(${test_dir}/NRVNC-old-win32.msi x86 ${NRVNC_WINDOWS_BIN_I686}/NRVNC.exe "" 0.9.0
          nrvnc_windows_i686)
add_custom_target(nrvnc_package_tests ALL DEPENDS ${test_dir}/NRVNC-x64.msi ${test_dir}/NRVNC-old-win32.msi)
add_dependencies(nrvnc_package_tests nrvnc_release)

string(APPEND environment ";NRVNC_WINDOWS_BIN_I686=${NRVNC_WINDOWS_BIN_I686}"
       ";NRVNC_WINDOWS_BIN_X86_64=${NRVNC_WINDOWS_BIN_X86_64};NRVNC_MSI_VERSION=${NRVNC_MSI_VERSION}")
foreach(case Windows_Programs Msi)
    add_test(NAME package.${case} COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/package_test.py ${case})
    set_tests_properties(package.${case} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300 RUN_SERIAL TRUE)
endforeach()

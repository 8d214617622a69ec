# The release artifacts installed and run for real (package_test.py),
# included by cmake/packaging.cmake. The Windows case also needs a lower
# version of the shipped package, made from the same package source, to
# upgrade from.
set(test_dir ${CMAKE_BINARY_DIR}/package-test)
set(environment "NRVNC_RELEASE_DIR=${NRVNC_RELEASE_DIR};NRVNC_PACKAGE_TESTS=${test_dir}")
add_test(NAME package.deb COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/package_test.py Deb)
set_tests_properties(package.deb PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 180 RUN_SERIAL TRUE)
if(NOT NRVNC_WINDOWS_BUILDS OR NOT NRVNC_WIXL)
    return()
endif()

nrvnc_msi(${test_dir}/NRVNC-old-win32.msi x86 ${NRVNC_WINDOWS_BIN_I686}/NRVNC.exe "" 0.9.0
          nrvnc_windows_i686)
add_custom_target(nrvnc_package_tests ALL DEPENDS ${test_dir}/NRVNC-old-win32.msi)
add_dependencies(nrvnc_package_tests nrvnc_release)

string(APPEND environment ";NRVNC_WINDOWS_BIN_I686=${NRVNC_WINDOWS_BIN_I686}"
       ";NRVNC_MSI_VERSION=${NRVNC_MSI_VERSION}")
foreach(case Windows_Programs Msi)
    add_test(NAME package.${case} COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/package_test.py ${case})
    set_tests_properties(package.${case} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300 RUN_SERIAL TRUE)
endforeach()

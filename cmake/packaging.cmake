# The release artifacts, made by every normal build (scripts/release.sh
# makes them from an optimised build into out/release/):
#   NRVNC-<version>-win32.msi   the 32-bit program's Windows Installer package (wixl)
#   NRVNC-<version>-win32.zip   the 32-bit program and README.txt, the portable form
#   nrvnc_<version>_<arch>.deb  nrvnc and its viewer adapter, menu entry, icon, man page
# -DNRVNC_VIEWER_FILES=<folder> puts vncviewer.exe and SecureVNCPlugin.dsm
# from that folder into the MSI beside NRVNC.exe (an organisation's own
# package); without it the MSI holds NRVNC.exe alone.
set(NRVNC_RELEASE_DIR ${CMAKE_BINARY_DIR}/release CACHE PATH "Where the release artifacts go")
set(NRVNC_VIEWER_FILES "" CACHE PATH "Folder with vncviewer.exe and SecureVNCPlugin.dsm for the MSI")
if(NRVNC_SANITIZE OR NOT TARGET nrvnc OR NOT TARGET nrvnc-viewer)
    return()
endif()
find_program(NRVNC_RSVG_CONVERT rsvg-convert)
find_program(NRVNC_IMAGEMAGICK NAMES convert-im6.q16 convert)
find_program(NRVNC_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(NRVNC_WIXL wixl)
if(NOT NRVNC_RSVG_CONVERT OR NOT NRVNC_IMAGEMAGICK OR NOT NRVNC_DPKG_SHLIBDEPS)
    message(STATUS "rsvg-convert, ImageMagick or dpkg-dev missing: no release artifacts")
    return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/icon.cmake)

set(NRVNC_VERSION ${PROJECT_VERSION})
# Windows Installer compares three numbers.
set(NRVNC_MSI_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0")
if(PROJECT_VERSION_PATCH)
    set(NRVNC_MSI_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
endif()
set(NRVNC_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(stage_root ${CMAKE_BINARY_DIR}/packaging)

# nrvnc_msi(<msi> <x86|x64> <NRVNC.exe> <viewer folder or ""> <version> <target that builds NRVNC.exe>)
# wixl reads the files it packs from its working folder: a stage of their own.
function(nrvnc_msi msi arch program viewer_folder version builder)
    get_filename_component(name ${msi} NAME_WE)
    set(stage ${stage_root}/${name}-${arch})
    set(files ${program} ${NRVNC_ICON_FILE})
    # The UpgradeCode of packaging/nrvnc.wxs is the namespace.
    string(UUID product_code NAMESPACE 72866b77-4ba4-470e-8e8a-2551066c342f
           NAME "NRVNC ${version} ${arch}" TYPE SHA1 UPPER)
    set(defines -D Version=${version} -D ProductCode={${product_code}})
    if(arch STREQUAL x86)
        list(APPEND defines -D ProgramFolder=ProgramFilesFolder -D Win64=no)
    else()
        list(APPEND defines -D ProgramFolder=ProgramFiles64Folder -D Win64=yes)
    endif()
    if(viewer_folder)
        list(APPEND defines -D Viewer=1)
        list(APPEND files ${viewer_folder}/vncviewer.exe ${viewer_folder}/SecureVNCPlugin.dsm)
    endif()
    get_filename_component(msi_dir ${msi} DIRECTORY)
    file(MAKE_DIRECTORY ${stage} ${msi_dir})
    # wixl exits 0 when it cannot write the package: the old one is removed
    # first and the new one must be there afterwards.
    add_custom_command(OUTPUT ${msi}
        COMMAND ${CMAKE_COMMAND} -E copy ${files} ${stage}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${msi}
        COMMAND ${NRVNC_WIXL} -a ${arch} ${defines} -o ${msi} ${NRVNC_PACKAGING_DIR}/nrvnc.wxs
        COMMAND ${CMAKE_COMMAND} -E md5sum ${msi}
        WORKING_DIRECTORY ${stage}
        DEPENDS ${NRVNC_PACKAGING_DIR}/nrvnc.wxs ${files} ${builder}
        COMMENT "Windows Installer package ${msi}" VERBATIM)
endfunction()

file(MAKE_DIRECTORY ${NRVNC_RELEASE_DIR})
set(artifacts "")
if(NRVNC_WINDOWS_BUILDS AND NRVNC_WIXL)
    set(program ${NRVNC_WINDOWS_BIN_I686}/NRVNC.exe)
    set(msi ${NRVNC_RELEASE_DIR}/NRVNC-${NRVNC_VERSION}-win32.msi)
    nrvnc_msi(${msi} x86 ${program} "${NRVNC_VIEWER_FILES}" ${NRVNC_MSI_VERSION} nrvnc_windows_i686)
    # The zip: NRVNC.exe and README.txt (Windows line ends), nothing else.
    set(zip_stage ${stage_root}/zip)
    configure_file(${NRVNC_PACKAGING_DIR}/README.txt ${zip_stage}/README.txt @ONLY NEWLINE_STYLE CRLF)
    set(zip ${NRVNC_RELEASE_DIR}/NRVNC-${NRVNC_VERSION}-win32.zip)
    add_custom_command(OUTPUT ${zip}
        COMMAND ${CMAKE_COMMAND} -E copy ${program} ${zip_stage}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
        COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip NRVNC.exe README.txt
        WORKING_DIRECTORY ${zip_stage}
        DEPENDS ${program} ${zip_stage}/README.txt nrvnc_windows_i686
        COMMENT "Portable zip ${zip}" VERBATIM)
    list(APPEND artifacts ${msi} ${zip})
elseif(NRVNC_WINDOWS_BUILDS)
    message(STATUS "wixl not found: no Windows packages")
endif()

configure_file(${NRVNC_PACKAGING_DIR}/nrvnc.1 ${stage_root}/nrvnc.1 @ONLY)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(NRVNC_DEB ${NRVNC_RELEASE_DIR}/nrvnc_${NRVNC_VERSION}_${deb_arch}.deb)
file(GLOB deb_inputs ${NRVNC_PACKAGING_DIR}/*)
add_custom_command(OUTPUT ${NRVNC_DEB}
    COMMAND bash ${NRVNC_PACKAGING_DIR}/make_deb.sh ${NRVNC_DEB} ${NRVNC_VERSION}
            $<TARGET_FILE:nrvnc> $<TARGET_FILE:nrvnc-viewer> ${NRVNC_ICON_DIR} ${stage_root}/nrvnc.1
    DEPENDS nrvnc nrvnc-viewer ${deb_inputs} ${stage_root}/nrvnc.1 ${NRVNC_ICON_FILE}
    COMMENT "Debian package ${NRVNC_DEB}" VERBATIM)
list(APPEND artifacts ${NRVNC_DEB})

add_custom_target(nrvnc_release ALL DEPENDS ${artifacts})
add_dependencies(nrvnc_release nrvnc_icon)

if(NRVNC_BUILD_TESTS)
    include(${CMAKE_SOURCE_DIR}/tests/package/package.cmake)
endif()

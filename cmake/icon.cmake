# Renders NRVNC's icon, drawn once as packaging/nrvnc.svg, at build time:
#   ${NRVNC_ICON_DIR}/hicolor/<n>x<n>/apps/nrvnc.png   for Linux (16 to 256 px)
#   ${NRVNC_ICON_FILE}                                  nrvnc.ico for Windows
# The target nrvnc_icon makes them; whoever uses them depends on it.
include_guard(GLOBAL)
find_program(NRVNC_RSVG_CONVERT rsvg-convert)
# ImageMagick 6's own name first: a bare `convert` may be something else on PATH.
find_program(NRVNC_IMAGEMAGICK NAMES convert-im6.q16 convert)
if(NOT NRVNC_RSVG_CONVERT OR NOT NRVNC_IMAGEMAGICK)
    message(FATAL_ERROR "The icon is rendered with rsvg-convert (librsvg2-bin) and ImageMagick "
                        "(imagemagick): install them (scripts/setup.sh does).")
endif()

set(NRVNC_ICON_SVG ${CMAKE_SOURCE_DIR}/packaging/nrvnc.svg)
set(NRVNC_ICON_DIR ${CMAKE_BINARY_DIR}/icon)
set(NRVNC_ICON_FILE ${NRVNC_ICON_DIR}/nrvnc.ico)
set(NRVNC_ICON_SIZES 16 24 32 48 256)
set(pngs "")
foreach(size ${NRVNC_ICON_SIZES})
    set(folder ${NRVNC_ICON_DIR}/hicolor/${size}x${size}/apps)
    add_custom_command(OUTPUT ${folder}/nrvnc.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${NRVNC_RSVG_CONVERT} -w ${size} -h ${size} -o ${folder}/nrvnc.png ${NRVNC_ICON_SVG}
        DEPENDS ${NRVNC_ICON_SVG} VERBATIM)
    list(APPEND pngs ${folder}/nrvnc.png)
endforeach()
# Each size drawn from the vector, not scaled from a larger bitmap.
add_custom_command(OUTPUT ${NRVNC_ICON_FILE}
    COMMAND ${NRVNC_IMAGEMAGICK} ${pngs} ${NRVNC_ICON_FILE}
    DEPENDS ${pngs} VERBATIM)
add_custom_target(nrvnc_icon DEPENDS ${NRVNC_ICON_FILE})

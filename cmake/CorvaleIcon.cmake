# The application icon: the SVG drawn for Corvale (data/icons/corvale.svg) and PNGs at 48 and
# 128 pixels made from it at build time with rsvg-convert, in ${CMAKE_BINARY_DIR}/icons.
set(CORVALE_ICON_SVG ${PROJECT_SOURCE_DIR}/data/icons/corvale.svg)
set(CORVALE_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(CORVALE_ICON_SIZES 48 128)

# Makes the PNGs and compiles them into target as the resources :/corvale/icons/corvale-SIZE.png.
function(corvale_application_icon target)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(pngs)
  foreach(size IN LISTS CORVALE_ICON_SIZES)
    set(png ${CORVALE_ICON_DIR}/corvale-${size}.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVALE_ICON_DIR}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${CORVALE_ICON_SVG}
      DEPENDS ${CORVALE_ICON_SVG}
      COMMENT "Drawing the ${size} px application icon"
      VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  qt_add_resources(${target} corvale_icons PREFIX /corvale/icons BASE ${CORVALE_ICON_DIR}
                   FILES ${pngs})
endfunction()

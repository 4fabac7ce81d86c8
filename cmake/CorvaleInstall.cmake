# What `cmake --install` puts under the prefix: the program and the demo service in bin/, the
# shipped data in share/corvale/ (found by the program relative to its own folder), the desktop
# entry, the icons, the AppStream metadata, the manual pages and the licence.
include(GNUInstallDirs)

set(CORVALE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/corvale)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(compressed ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS corvale corvale-demo-service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/pic DESTINATION ${CMAKE_INSTALL_DATADIR}/corvale)

install(FILES ${PROJECT_SOURCE_DIR}/data/${CORVALE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${CORVALE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CORVALE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${CORVALE_APP_ID}.svg)
foreach(size IN LISTS CORVALE_ICON_SIZES)
  install(FILES ${CORVALE_ICON_DIR}/corvale-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CORVALE_APP_ID}.png)
endforeach()

# Manual pages and the changelog are installed gzip-compressed, as Debian expects; the licence
# goes in the Debian copyright format.
set(gzipped)
foreach(source IN ITEMS man/corvale.1 man/corvale-demo-service.1 debian/changelog)
  set(output ${compressed}/${source}.gz)
  get_filename_component(output_dir ${output} DIRECTORY)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" _ ${packaging}/${source} ${output}
    DEPENDS ${packaging}/${source}
    VERBATIM)
  list(APPEND gzipped ${output})
endforeach()
add_custom_target(corvale-install-docs ALL DEPENDS ${gzipped})
add_dependencies(corvale corvale-install-docs)

install(FILES ${compressed}/man/corvale.1.gz ${compressed}/man/corvale-demo-service.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${compressed}/debian/changelog.gz ${packaging}/debian/copyright
        DESTINATION ${CORVALE_DOC_DIR})

# Installed layout: the program and its read-only data in one folder
# (<prefix>/lib/velmora, found from the executable's own path), a link in bin/,
# and what the desktop needs to know about Velmora under share/.

set(VELMORA_DESKTOP ${PROJECT_SOURCE_DIR}/resources/desktop)

install(TARGETS velmora RUNTIME DESTINATION lib/velmora)
install(DIRECTORY resources/ DESTINATION lib/velmora
        PATTERN desktop EXCLUDE
        PATTERN README.txt EXCLUDE)
install(CODE "file(MAKE_DIRECTORY \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin)
  execute_process(COMMAND \${CMAKE_COMMAND} -E create_symlink ../lib/velmora/velmora
                  \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/velmora)")

install(FILES ${VELMORA_DESKTOP}/velmora.desktop DESTINATION share/applications)
install(FILES ${VELMORA_DESKTOP}/velmora.xml DESTINATION share/mime/packages)
install(DIRECTORY ${VELMORA_DESKTOP}/icons/ DESTINATION share/icons)

# The manual page and the Debian changelog are installed compressed, without
# a time stamp in the gzip header so that packages build reproducibly.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(_gz ${CMAKE_BINARY_DIR}/compressed)
add_custom_command(
  OUTPUT ${_gz}/velmora.1.gz ${_gz}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_gz}
  COMMAND ${GZIP_PROGRAM} -9n -c ${VELMORA_DESKTOP}/velmora.1 > ${_gz}/velmora.1.gz
  COMMAND ${GZIP_PROGRAM} -9n -c ${VELMORA_DESKTOP}/changelog > ${_gz}/changelog.gz
  DEPENDS ${VELMORA_DESKTOP}/velmora.1 ${VELMORA_DESKTOP}/changelog
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(velmora_compressed_docs ALL DEPENDS ${_gz}/velmora.1.gz ${_gz}/changelog.gz)
install(FILES ${_gz}/velmora.1.gz DESTINATION share/man/man1)
install(FILES ${_gz}/changelog.gz ${VELMORA_DESKTOP}/copyright DESTINATION share/doc/velmora)

# cpack -G DEB: a Debian package with the libraries found by dpkg-shlibdeps
# and what the program needs at run time without linking it.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora Support <support@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "product box shot maker with a 3D box on a reflecting floor")
# The first line of the control file's description is the summary above.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Velmora makes product box shots: a 3D box with six picture faces standing on
a reflecting floor or with a soft drop shadow, set up with sliders and
presets, looked at with the mouse and rendered supersampled to a JPEG or BMP
file. Scenes are saved as .vlm archives; the older .gls scene streams open
too. A layered face editor builds face pictures, and the command line renders,
converts and inspects scenes without a display.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY velmora)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.velmora.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Mesa's drivers for the 3D view and renders, a font for face texts, and the
# desktop's opener for help pages, web links and mail.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl-mesa0, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)

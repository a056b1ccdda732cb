# What the Debian package holds beyond the programs and libraries: copyright, changelog, manual
# pages, the desktop entry, AppStream data and the icon; then the package itself, made by
# `cpack -G DEB` in the build folder, `ninja package` / `make package` there, or `make package`
# at the top.

set(CROSSPLOT_MAINTAINER "Offset-FB CrossPlot developers <crossplot-dev@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CROSSPLOT_PACKAGE_NAME offset-fb-crossplot)
set(CROSSPLOT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CROSSPLOT_PACKAGE_NAME})
set(_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(_generated ${CMAKE_BINARY_DIR}/packaging)
# Debian wants 0755 folders whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

find_program(GZIP_EXECUTABLE gzip)
find_program(HELP2MAN_EXECUTABLE help2man)
if(NOT GZIP_EXECUTABLE OR NOT HELP2MAN_EXECUTABLE)
    message(FATAL_ERROR "The manual pages need gzip and help2man (scripts/install-deps.sh build)")
endif()

# The changelog names the project's version, so it cannot fall behind. The package is native (its
# version has no Debian revision), so the changelog is changelog.gz, not changelog.Debian.gz.
# -n keeps the name and time out of the gzip header, so the same sources give the same bytes.
configure_file(${_packaging}/changelog.in ${_generated}/changelog @ONLY)
add_custom_command(OUTPUT ${_generated}/changelog.gz
    COMMAND ${GZIP_EXECUTABLE} -9nc ${_generated}/changelog > ${_generated}/changelog.gz
    DEPENDS ${_generated}/changelog
    VERBATIM)

# A manual page per program, made from its --help and --version by help2man, in the C locale so
# that the page is English whatever the builder's language. Leak checks are off there: in a
# sanitized build the libraries' allocations that live to the exit would fail the page.
set(_manual_pages)
foreach(_entry
        "kyhost|stand-in host application for general plug-ins"
        "crossplot-render|render offset-FB density crossplots of FB files to PNG"
        "crossplot-report|write a QC report over FB files"
        "fbgen|write a synthetic FB pick file"
        "make-demo-project|prepare a demo project for Offset-FB CrossPlot")
    string(REPLACE "|" ";" _entry "${_entry}")
    list(GET _entry 0 _program)
    list(GET _entry 1 _summary)
    set(_page ${_generated}/man/${_program}.1)
    add_custom_command(OUTPUT ${_page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_generated}/man
        COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 LANG=C.UTF-8 LANGUAGE=
                QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                ${HELP2MAN_EXECUTABLE} --no-info --section=1 --name=${_summary}
                --source=${CROSSPLOT_PACKAGE_NAME} --output=${_page} $<TARGET_FILE:${_program}>
        COMMAND ${GZIP_EXECUTABLE} -9nf ${_page}
        DEPENDS ${_program}
        COMMENT "Writing the manual page of ${_program}"
        VERBATIM)
    list(APPEND _manual_pages ${_page}.gz)
endforeach()
add_custom_target(package_documents ALL
    DEPENDS ${_manual_pages} ${_generated}/changelog.gz)

install(FILES ${_packaging}/copyright ${_generated}/changelog.gz
        DESTINATION ${CROSSPLOT_DOC_DIR})
install(FILES ${_manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_packaging}/org.kyhost.kyhost.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_packaging}/org.kyhost.kyhost.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resource/images/logo.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME org.kyhost.kyhost.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${CROSSPLOT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CROSSPLOT_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CROSSPLOT_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "density crossplot of offset against first-break time for seismic picks")
# The synopsis above is the first line; CPack indents these lines and marks the blank one.
# Debian keeps each line under 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Offset-FB CrossPlot is a plug-in for a seismic data-processing host. It reads
a first-break (FB) pick file of tens or hundreds of millions of picks and
shows a density crossplot of source-receiver offset against first-break time,
with colour controls, a coordinate tracker, an apparent-velocity ruler and PNG
export.

The package holds the stand-in host kyhost with its KyPlugins and KyBase
libraries, the plug-in, the batch renderer crossplot-render, the synthetic FB
file generator fbgen and the other command-line tools. Translations:
Simplified Chinese and Russian.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends come from the libraries the binaries link; our own are found in the private folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CROSSPLOT_PRIVATE_LIBDIR})
# Qt's own texts (the standard buttons of message and file dialogs) follow the user's language
# only with Qt's catalogues; kyhost carries the few that its --help needs itself.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qttranslations5-l10n)
# Chinese texts need a CJK font, which a desktop usually has already.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS fonts-noto-cjk)
set(CPACK_STRIP_FILES ON)
include(CPack)

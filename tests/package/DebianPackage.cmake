# Builds the Debian package, unpacks it into a scratch folder and checks what a user gets:
# the files, the Depends, lintian's verdict, manual pages that render, a desktop entry and
# AppStream data that validate, and a kyhost that finds the plug-in with no options and no display.
set(scratch "${BUILD_DIR}/package-check")
file(REMOVE_RECURSE "${scratch}")
execute_process(COMMAND cpack -G DEB -B "${scratch}" WORKING_DIRECTORY "${BUILD_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB deb "${scratch}/*.deb")
list(LENGTH deb count)
if(NOT result EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack gave ${count} packages (${result}):\n${output}")
endif()

execute_process(COMMAND dpkg-deb -f "${deb}" Depends Maintainer Description
                OUTPUT_VARIABLE fields)
foreach(expected "libqwt-qt5-6" "libqt5widgets5" "libqt5core5a" "Maintainer: .+<.+@.+>"
                 "first-break")
    if(NOT fields MATCHES "${expected}")
        message(FATAL_ERROR "package fields lack ${expected}:\n${fields}")
    endif()
endforeach()

execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE contents)
set(programs kyhost crossplot-render crossplot-report fbgen make-demo-project)
set(files usr/${PRIVATE_LIBDIR}/libKyPlugins.so usr/${PRIVATE_LIBDIR}/libKyBase.so
          usr/${PRIVATE_LIBDIR}/plugins/libCrossPlot.so
          usr/share/doc/offset-fb-crossplot/copyright
          usr/share/doc/offset-fb-crossplot/changelog.gz
          usr/share/applications/org.kyhost.kyhost.desktop
          usr/share/metainfo/org.kyhost.kyhost.metainfo.xml
          usr/share/icons/hicolor/64x64/apps/org.kyhost.kyhost.png)
foreach(program ${programs})
    list(APPEND files usr/bin/${program} usr/share/man/man1/${program}.1.gz)
endforeach()
foreach(file ${files})
    if(NOT contents MATCHES "\\./${file}\n")
        message(FATAL_ERROR "package lacks /${file}:\n${contents}")
    endif()
endforeach()

# The maintainer address is set when publishing, so its bogus host, in the control file and in
# the changelog's trailer, is the one complaint allowed. As root (in CI), lintian says it would
# rather not be; that note alone may stay on stderr.
execute_process(COMMAND lintian --no-cfg
                        --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog "${deb}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
string(REGEX REPLACE "running with root privileges is not recommended!\n" "" errors "${errors}")
if(NOT result EQUAL 0 OR output MATCHES "(^|\n)[EW]: " OR NOT errors STREQUAL "")
    message(FATAL_ERROR "lintian (${result}):\n${output}${errors}")
endif()

set(root "${scratch}/root")
execute_process(COMMAND dpkg-deb -x "${deb}" "${root}" RESULT_VARIABLE result)

foreach(program ${programs})
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80
                            man -l "${root}/usr/share/man/man1/${program}.1.gz"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    if(NOT result EQUAL 0 OR NOT output MATCHES "NAME\n +${program} +- " OR NOT errors STREQUAL "")
        message(FATAL_ERROR "man -l ${program}.1.gz (${result}):\n${output}${errors}")
    endif()
endforeach()

# The AppStream data's newest release is the package's version.
execute_process(COMMAND dpkg-deb -f "${deb}" Version OUTPUT_VARIABLE version
                OUTPUT_STRIP_TRAILING_WHITESPACE)
file(READ "${root}/usr/share/metainfo/org.kyhost.kyhost.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<releases>[ \n]*<release version=\"${version}\"")
    message(FATAL_ERROR "the AppStream data's first release is not ${version}")
endif()

execute_process(COMMAND desktop-file-validate "${root}/usr/share/applications/org.kyhost.kyhost.desktop"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
execute_process(COMMAND appstreamcli validate --no-net --pedantic
                        "${root}/usr/share/metainfo/org.kyhost.kyhost.metainfo.xml"
                RESULT_VARIABLE result2 OUTPUT_VARIABLE output2 ERROR_VARIABLE errors2)
# Both say nothing but their success line: no hint, not even a pedantic one.
if(NOT result EQUAL 0 OR NOT output STREQUAL "" OR NOT errors STREQUAL ""
   OR NOT result2 EQUAL 0 OR NOT output2 MATCHES "^[^\n]*Validation was successful\\.\n$")
    message(FATAL_ERROR "desktop entry or AppStream data:\n${output}${errors}${output2}${errors2}")
endif()
# As over ssh: no display, no platform chosen.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        --unset=QT_QPA_PLATFORM --unset=LD_LIBRARY_PATH
                        "${root}/usr/bin/kyhost" --list-plugins
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(REMOVE_RECURSE "${scratch}")
if(NOT result EQUAL 0 OR NOT output STREQUAL "libCrossPlot.so: Offset-FB CrossPlot\n"
   OR NOT errors STREQUAL "")
    message(FATAL_ERROR "unpacked kyhost (${result}):\n${output}${errors}")
endif()

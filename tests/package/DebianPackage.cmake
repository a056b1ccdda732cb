# Builds the Debian package, unpacks it into a scratch folder and checks what a user gets:
# the files, the Depends, and a kyhost that finds the plug-in with no options and no display.
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
foreach(file usr/bin/kyhost usr/bin/crossplot-render usr/bin/crossplot-report usr/bin/fbgen
             usr/lib/libKyPlugins.so
             usr/lib/libKyBase.so usr/lib/kyhost/plugins/libCrossPlot.so)
    if(NOT contents MATCHES "\\./${file}\n")
        message(FATAL_ERROR "package lacks /${file}:\n${contents}")
    endif()
endforeach()

set(root "${scratch}/root")
execute_process(COMMAND dpkg-deb -x "${deb}" "${root}" RESULT_VARIABLE result)
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

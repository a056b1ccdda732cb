# Installs the build into a scratch prefix and checks the layout a `make install PREFIX=...`
# gives: the host's libraries and the plug-in in the private folder, nothing in the linker's
# folders, and an installed host that finds the plug-in with no options and no display.
set(prefix "${BUILD_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
file(GLOB_RECURSE libraries RELATIVE "${prefix}" "${prefix}/*.so*")
list(SORT libraries)
set(expected ${PRIVATE_LIBDIR}/libKyBase.so ${PRIVATE_LIBDIR}/libKyPlugins.so
             ${PRIVATE_LIBDIR}/plugins/libCrossPlot.so)
if(NOT libraries STREQUAL expected)
    message(FATAL_ERROR "installed libraries: ${libraries}\nexpected: ${expected}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        --unset=QT_QPA_PLATFORM --unset=LD_LIBRARY_PATH
                        "${prefix}/bin/kyhost" --list-plugins
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(REMOVE_RECURSE "${prefix}")
if(NOT result EQUAL 0 OR NOT output STREQUAL "libCrossPlot.so: Offset-FB CrossPlot\n"
   OR NOT errors STREQUAL "")
    message(FATAL_ERROR "installed kyhost did not find the plug-in (${result}):\n${output}${errors}")
endif()

# Installs the build into a scratch prefix and checks that the installed host finds the
# plug-in without options.
set(prefix "${BUILD_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
execute_process(COMMAND "${prefix}/bin/kyhost" --list-plugins
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(REMOVE_RECURSE "${prefix}")
if(NOT result EQUAL 0 OR NOT output MATCHES "libCrossPlot.so: Offset-FB CrossPlot")
    message(FATAL_ERROR "installed kyhost did not find the plug-in (${result}):\n${output}${errors}")
endif()

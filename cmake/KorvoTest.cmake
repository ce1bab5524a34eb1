# korvo_add_test(NAME <name> SOURCES <files...> LIBRARIES <targets...> [DISPLAY])
# Builds one Qt Test program and registers it with CTest. GUI tests run on
# the offscreen platform so they need no display. DISPLAY tests run on the
# real X11 platform under a virtual X server (xvfb-run); where xvfb-run is
# missing they are reported as skipped. Qt Test's own limit of five minutes
# per test function is raised to twenty: the crash tests run for minutes on a
# busy machine and must not be cut off half way.
function(korvo_add_test)
    cmake_parse_arguments(T "DISPLAY" "NAME" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
    target_link_libraries(${T_NAME} PRIVATE korvo_options Qt6::Test ${T_LIBRARIES})
    if(T_DISPLAY)
        add_test(NAME ${T_NAME}
                 COMMAND sh "${PROJECT_SOURCE_DIR}/cmake/xvfb-test.sh" $<TARGET_FILE:${T_NAME}>)
        set_tests_properties(${T_NAME} PROPERTIES
                             ENVIRONMENT "QT_QPA_PLATFORM=xcb;QTEST_FUNCTION_TIMEOUT=1200000"
                             SKIP_RETURN_CODE 77 TIMEOUT 1500)
    else()
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
        set_tests_properties(${T_NAME} PROPERTIES
                             ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=1200000"
                             TIMEOUT 1500)
    endif()
endfunction()

# korvo_add_test(NAME <name> SOURCES <files...> LIBRARIES <targets...> [GUI])
# Builds one Qt Test program and registers it with CTest. GUI tests run on
# the offscreen platform so they need no display.
function(korvo_add_test)
    cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
    target_link_libraries(${T_NAME} PRIVATE korvo_options Qt6::Test ${T_LIBRARIES})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set(env "QT_QPA_PLATFORM=offscreen")
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()

# VELTAGENT is tested through the built program; the tests find it through VELTAGENT_PATH.
add_library(veltagent_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/veltagent_run.cpp)
target_include_directories(veltagent_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR}
    ${PROJECT_SOURCE_DIR}/tests/mysql)
target_compile_definitions(veltagent_test_support PRIVATE VELTAGENT_PATH="$<TARGET_FILE:VELTAGENT>")
target_compile_definitions(veltagent_test_support PUBLIC
    VELTINSPECT_PATH="$<TARGET_FILE:veltinspect>")
target_link_libraries(veltagent_test_support PUBLIC velt_test_fixtures velt_mysql)
add_dependencies(veltagent_test_support VELTAGENT veltinspect)

velt_add_test(NAME veltagent_cli_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/veltagent_cli_test.cpp
    LIBS veltagent_test_support)
velt_add_test(NAME veltagent_server_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/veltagent_server_test.cpp
    LIBS veltagent_test_support
    LABELS server)
velt_add_test(NAME veltagent_real_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/veltagent_real_test.cpp
    LIBS veltagent_test_support
    LABELS real server)
velt_add_test(NAME veltagent_pump_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/veltagent_pump_test.cpp
    LIBS veltagent_test_support
    LABELS real server)

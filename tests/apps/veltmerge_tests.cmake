# veltmerge is tested through the built program; the tests find it through VELTMERGE_PATH.
add_library(veltmerge_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/veltmerge_run.cpp)
target_include_directories(veltmerge_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(veltmerge_test_support PRIVATE VELTMERGE_PATH="$<TARGET_FILE:veltmerge>")
add_dependencies(veltmerge_test_support veltmerge)

velt_add_test(NAME veltmerge_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/veltmerge_test.cpp
    LIBS veltmerge_test_support)
velt_add_test(NAME veltmerge_large_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/veltmerge_large_test.cpp
    LIBS veltmerge_test_support
    LABELS slow)

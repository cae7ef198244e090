# Range operations and edit tools on one long track (Google Benchmark).
add_executable(edit_bench ${CMAKE_CURRENT_SOURCE_DIR}/edit_bench.cpp)
target_link_libraries(edit_bench PRIVATE melko_edit benchmark::benchmark)
target_include_directories(edit_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

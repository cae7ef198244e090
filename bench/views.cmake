# The track sheet's event maps (Google Benchmark).
add_executable(event_map_bench ${CMAKE_CURRENT_SOURCE_DIR}/event_map_bench.cpp)
target_link_libraries(event_map_bench PRIVATE melko_views benchmark::benchmark)
target_include_directories(event_map_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

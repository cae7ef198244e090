# Range operations and edit tools on one long track (Google Benchmark).
add_executable(edit_bench ${CMAKE_CURRENT_SOURCE_DIR}/edit_bench.cpp)
target_link_libraries(edit_bench PRIVATE melko_edit benchmark::benchmark)
target_include_directories(edit_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

# The recording merge of a full record buffer into 16 tracks.
add_executable(record_merge_bench ${CMAKE_CURRENT_SOURCE_DIR}/record_merge_bench.cpp)
target_link_libraries(record_merge_bench PRIVATE melko_edit benchmark::benchmark)
target_include_directories(record_merge_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

# The event list on a long track: opening and repainting one screen.
add_executable(event_list_bench ${CMAKE_CURRENT_SOURCE_DIR}/event_list_bench.cpp)
target_link_libraries(event_list_bench PRIVATE melko_edit benchmark::benchmark)
target_include_directories(event_list_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
# Value curves over a range of a million events.
add_executable(value_curve_bench ${CMAKE_CURRENT_SOURCE_DIR}/value_curve_bench.cpp)
target_link_libraries(value_curve_bench PRIVATE melko_edit benchmark::benchmark)
target_include_directories(value_curve_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

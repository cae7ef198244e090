# Archive listings fresh and from the cache, and opening a song inside an
# archive against the same song as a plain file (Google Benchmark).
add_executable(archive_bench ${CMAKE_CURRENT_SOURCE_DIR}/archive_bench.cpp)
target_link_libraries(archive_bench PRIVATE melko_song benchmark::benchmark)
target_include_directories(archive_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

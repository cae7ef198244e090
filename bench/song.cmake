add_executable(smf_load_bench ${CMAKE_CURRENT_SOURCE_DIR}/smf_load_bench.cpp)
target_link_libraries(smf_load_bench PRIVATE melko_song)
target_include_directories(smf_load_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

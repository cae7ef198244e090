# Loading SysEx parameter tables with many sections (Google Benchmark).
add_executable(sysex_load_bench ${CMAKE_CURRENT_SOURCE_DIR}/sysex_load_bench.cpp)
target_link_libraries(sysex_load_bench PRIVATE melko_sysex benchmark::benchmark)
target_include_directories(sysex_load_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

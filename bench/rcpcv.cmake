# Conversion speed of the RCP converter (its sources compiled in: the
# library itself is a plugin).
add_executable(rcpcv_bench ${CMAKE_CURRENT_SOURCE_DIR}/rcpcv_bench.cpp
               ${PROJECT_SOURCE_DIR}/src/rcpcv/rcp_song.cpp ${PROJECT_SOURCE_DIR}/src/rcpcv/smf_out.cpp)
target_link_libraries(rcpcv_bench PRIVATE benchmark::benchmark)
target_include_directories(rcpcv_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

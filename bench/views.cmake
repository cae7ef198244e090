# The track sheet's event maps (Google Benchmark).
add_executable(event_map_bench ${CMAKE_CURRENT_SOURCE_DIR}/event_map_bench.cpp)
target_link_libraries(event_map_bench PRIVATE melko_views benchmark::benchmark)
target_include_directories(event_map_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
# One screen of the track sheet painted at the start, middle and end of a big
# song (Google Benchmark, offscreen).
if(TARGET melko_views_ui)
  add_executable(track_sheet_paint_bench ${CMAKE_CURRENT_SOURCE_DIR}/track_sheet_paint_bench.cpp)
  target_link_libraries(track_sheet_paint_bench PRIVATE melko_views_ui benchmark::benchmark)
  target_include_directories(track_sheet_paint_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
endif()
# One screen of the score painted at the start, middle and end of a long track.
if(TARGET melko_views_ui)
  add_executable(score_paint_bench ${CMAKE_CURRENT_SOURCE_DIR}/score_paint_bench.cpp)
  target_link_libraries(score_paint_bench PRIVATE melko_views_ui benchmark::benchmark)
  target_include_directories(score_paint_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
endif()

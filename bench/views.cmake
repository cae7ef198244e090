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
# The mixer following playback at about 3,300 events a second: CPU share of
# its updates on the UI thread and the notification queue's backlog. A
# program printing figures: run it by hand.
if(TARGET melko_views_ui)
  add_executable(mixer_follow_bench ${CMAKE_CURRENT_SOURCE_DIR}/mixer_follow_bench.cpp)
  target_link_libraries(mixer_follow_bench PRIVATE melko_views_ui melko_midi)
  target_include_directories(mixer_follow_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
endif()
# The rhythm pattern player's lateness through the real timer thread. A
# program printing figures: run it by hand.
add_executable(rhythm_timer_bench ${CMAKE_CURRENT_SOURCE_DIR}/rhythm_timer_bench.cpp)
target_link_libraries(rhythm_timer_bench PRIVATE melko_views)
target_include_directories(rhythm_timer_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
# One screen of the score painted at the start, middle and end of a long track.
if(TARGET melko_views_ui)
  add_executable(score_paint_bench ${CMAKE_CURRENT_SOURCE_DIR}/score_paint_bench.cpp)
  target_link_libraries(score_paint_bench PRIVATE melko_views_ui benchmark::benchmark)
  target_include_directories(score_paint_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
endif()

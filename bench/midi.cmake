# Playback timing through the real timer thread, and render speed against the
# fluidsynth command line. A program printing figures: run it by hand.
add_executable(midi_playback_bench ${CMAKE_CURRENT_SOURCE_DIR}/midi_playback_bench.cpp)
target_link_libraries(midi_playback_bench PRIVATE melko_midi)
target_include_directories(midi_playback_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
# How long the timer callback is held up while long tracks are edited during
# playback. A program printing figures: run it by hand.
add_executable(midi_edit_wait_bench ${CMAKE_CURRENT_SOURCE_DIR}/midi_edit_wait_bench.cpp)
target_link_libraries(midi_edit_wait_bench PRIVATE melko_midi)
target_include_directories(midi_edit_wait_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
# Onsets of a click track rendered by melko and by the fluidsynth command line.
add_executable(midi_render_onset_bench ${CMAKE_CURRENT_SOURCE_DIR}/midi_render_onset_bench.cpp)
target_link_libraries(midi_render_onset_bench PRIVATE melko_midi)
target_include_directories(midi_render_onset_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
# The input callback's cost per message (Google Benchmark).
add_executable(midi_input_bench ${CMAKE_CURRENT_SOURCE_DIR}/midi_input_bench.cpp)
target_link_libraries(midi_input_bench PRIVATE melko_midi benchmark::benchmark)
target_include_directories(midi_input_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

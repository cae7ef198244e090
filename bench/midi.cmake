# Playback timing through the real timer thread, and render speed against the
# fluidsynth command line. A program printing figures: run it by hand.
add_executable(midi_playback_bench ${CMAKE_CURRENT_SOURCE_DIR}/midi_playback_bench.cpp)
target_link_libraries(midi_playback_bench PRIVATE melko_midi)
target_include_directories(midi_playback_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)

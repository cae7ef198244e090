# What an input device may send, through the input callback.
melko_fuzzer(midi_input_fuzz midi_input_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/midi_input DEPENDS melko_midi)

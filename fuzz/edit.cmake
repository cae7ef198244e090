# The edit layer: typed texts, name tables and random command scripts with
# their undo checked.
melko_fuzzer(edit_fuzz edit_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/edit DEPENDS melko_edit)
# The recording merge: random takes, options and track settings, held to the
# plain forward search and the range operations' paste and mix.
melko_fuzzer(record_merge_fuzz record_merge_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/record_merge
             DEPENDS melko_edit)
# Take files of the batch form, recorded through the recorder as the record button does.
melko_fuzzer(take_fuzz take_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/take DEPENDS melko_edit)
# RPN.TXT and NRPN.TXT: the fixed-column parameter lists of the event list.
melko_fuzzer(rpn_text_fuzz rpn_text_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/rpn_text DEPENDS melko_edit)
# LINE.TXT, the value curves' presets: read, written back and drawn.
melko_fuzzer(line_presets_fuzz line_presets_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/line_presets
             DEPENDS melko_edit)

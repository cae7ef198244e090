# The edit layer: typed texts, name tables and random command scripts with
# their undo checked.
melko_fuzzer(edit_fuzz edit_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/edit DEPENDS melko_edit)

# The score: stored tracks laid out over random spans, and key scripts sent
# to a score window with undo checked.
melko_fuzzer(score_fuzz score_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/score DEPENDS melko_views)

# The rhythm pattern editor's files: RYM pattern files and DRUMMAP.DAT.
set(RHYTHM_FUZZ_SOURCES ${PROJECT_SOURCE_DIR}/src/views/rhythm_pattern.cpp ${PROJECT_SOURCE_DIR}/src/views/rhythm_file.cpp
    ${PROJECT_SOURCE_DIR}/src/views/drum_map.cpp ${PROJECT_SOURCE_DIR}/src/base/atomic_write.cpp)
if(MELKO_FUZZ)
  # The readers compiled into the harnesses, instrumented for coverage.
  melko_fuzzer(rhythm_fuzz rhythm_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/rhythm)
  target_sources(rhythm_fuzz PRIVATE ${RHYTHM_FUZZ_SOURCES})
  melko_fuzzer(drum_map_fuzz drum_map_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/drum_map)
  target_sources(drum_map_fuzz PRIVATE ${RHYTHM_FUZZ_SOURCES})
else()
  melko_fuzzer(rhythm_fuzz rhythm_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/rhythm DEPENDS melko_views)
  melko_fuzzer(drum_map_fuzz drum_map_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/drum_map DEPENDS melko_views)
endif()
# The score: stored tracks laid out over random spans, and key scripts sent
# to a score window with undo checked.
melko_fuzzer(score_fuzz score_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/score DEPENDS melko_views)

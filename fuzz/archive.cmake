# The archive layer: cache files, and archives opened as LHA and as ZIP.
melko_fuzzer(arc_cache_fuzz arc_cache_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/arc_cache DEPENDS melko_archive)
melko_fuzzer(archive_open_fuzz archive_open_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/archive_open
             DEPENDS melko_archive)
if(NOT MELKO_FUZZ)
  # Inputs the fuzzer once found troublesome are kept beside the seeds.
  add_test(NAME archive_open_fuzz_regressions COMMAND archive_open_fuzz
           ${CMAKE_CURRENT_SOURCE_DIR}/regressions/archive_open)
endif()

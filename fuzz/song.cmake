# The SMF reader harness; its seeds are made by a script of ours.
set(SMF_SEEDS ${CMAKE_CURRENT_BINARY_DIR}/corpus/smf)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${SMF_SEEDS}/stamp
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/make_smf_seeds.py ${SMF_SEEDS}
  COMMAND ${CMAKE_COMMAND} -E touch ${SMF_SEEDS}/stamp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_smf_seeds.py
  COMMENT "Making the SMF seed corpus")
add_custom_target(smf_seeds ALL DEPENDS ${SMF_SEEDS}/stamp)
melko_fuzzer(smf_reader_fuzz smf_reader_fuzz.cpp ${SMF_SEEDS} DEPENDS melko_song)
add_dependencies(smf_reader_fuzz smf_seeds)
if(NOT MELKO_FUZZ)
  # Inputs the fuzzer once found troublesome are kept beside the seeds.
  add_test(NAME smf_reader_fuzz_regressions COMMAND smf_reader_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/regressions/smf)
endif()

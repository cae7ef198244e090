# The SysEx tables harness: the table loader, SetFromText, Analyse, SetExtras
# and MakeDefault on arbitrary tables and bodies.
if(MELKO_FUZZ)
  # Compile the layer's sources into the harness so that they are
  # instrumented for coverage and the sanitizers too.
  file(GLOB SYSEX_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/sysex/*.cpp ${PROJECT_SOURCE_DIR}/src/base/*.cpp)
  melko_fuzzer(sysex_fuzz sysex_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/sysex DEPENDS ${CMAKE_DL_LIBS})
  target_sources(sysex_fuzz PRIVATE ${SYSEX_FUZZ_SOURCES})
else()
  melko_fuzzer(sysex_fuzz sysex_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/sysex DEPENDS melko_sysex)
endif()

# The SYSEX.TXT reader and the dialog's model on what it reads.
if(MELKO_FUZZ)
  melko_fuzzer(sysex_names_fuzz sysex_names_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/sysex_names DEPENDS ${CMAKE_DL_LIBS})
  target_sources(sysex_names_fuzz PRIVATE ${SYSEX_FUZZ_SOURCES})
else()
  melko_fuzzer(sysex_names_fuzz sysex_names_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/sysex_names DEPENDS melko_sysex)
endif()

# The definition files harness: bytes read as an .INS and as a .DRM file.
if(MELKO_FUZZ)
  # The layer's sources compiled into the harness, instrumented for coverage.
  file(GLOB INSTRUMENTS_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/instruments/*.cpp
       ${PROJECT_SOURCE_DIR}/src/base/*.cpp)
  melko_fuzzer(instruments_fuzz instruments_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/instruments)
  target_sources(instruments_fuzz PRIVATE ${INSTRUMENTS_FUZZ_SOURCES})
else()
  melko_fuzzer(instruments_fuzz instruments_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/instruments
               DEPENDS melko_instruments)
endif()

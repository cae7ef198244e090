# The Parmix conversions on arbitrary texts and values. The library's source
# is compiled into the harness (it is a plugin, never linked).
melko_fuzzer(parmix_fuzz parmix_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/parmix)
target_sources(parmix_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src/parmix/parmix.cpp)

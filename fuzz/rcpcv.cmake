# The RCP converter on arbitrary song images. The library's sources are
# compiled into the harness (it is a plugin, never linked).
melko_fuzzer(rcpcv_fuzz rcpcv_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/rcpcv)
target_sources(rcpcv_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src/rcpcv/rcp_song.cpp ${PROJECT_SOURCE_DIR}/src/rcpcv/smf_out.cpp)

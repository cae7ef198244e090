# Start-up of the batch commands against midicsv: a program printing figures,
# run it by hand (startup_bench [--runs N] [--melko PATH]).
if(TARGET melko)
  add_executable(startup_bench ${CMAKE_CURRENT_SOURCE_DIR}/startup_bench.cpp)
  add_dependencies(startup_bench melko)
  target_compile_definitions(startup_bench PRIVATE MELKO_BIN="$<TARGET_FILE:melko>")
endif()

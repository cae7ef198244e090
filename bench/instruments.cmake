# Listing and loading the shipped instrument and drum definitions.
add_executable(instruments_bench ${CMAKE_CURRENT_SOURCE_DIR}/instruments_bench.cpp)
target_link_libraries(instruments_bench PRIVATE melko_instruments benchmark::benchmark)
target_include_directories(instruments_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(instruments_bench PRIVATE MELKO_SHIPPED_INST_DIR="${PROJECT_SOURCE_DIR}/data/MELKO/INST")

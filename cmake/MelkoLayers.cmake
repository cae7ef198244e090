# Layering rules. Every MELKO library names its layer; a library may link only
# libraries of its own layer or of layers listed before it, and only ui/ and
# app targets may link Qt. A wrong link stops the configure step.
# The event list (edit) shows SysEx descriptions and patch names, and the
# views use every layer below them. The folders of src/, tests/, bench/ and
# fuzz/ are added in this order too.
set(MELKO_LAYER_ORDER base archive song midi parmix rcpcv sysex instruments edit views app)

function(melko_layer_index layer outVar)
  list(FIND MELKO_LAYER_ORDER ${layer} idx)
  if(idx EQUAL -1)
    message(FATAL_ERROR "unknown layer '${layer}'")
  endif()
  set(${outVar} ${idx} PARENT_SCOPE)
endfunction()

# melko_library(NAME LAYER layer [UI] SOURCES ... [DEPENDS melko libs...] [LIBS other libs...])
function(melko_library name)
  cmake_parse_arguments(ARG "UI;SHARED" "LAYER" "SOURCES;DEPENDS;LIBS" ${ARGN})
  melko_layer_index(${ARG_LAYER} myIdx)
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_target_properties(${name} PROPERTIES MELKO_LAYER ${ARG_LAYER} MELKO_UI ${ARG_UI}
                                           POSITION_INDEPENDENT_CODE ON)
  foreach(dep IN LISTS ARG_DEPENDS)
    if(NOT TARGET ${dep})
      message(FATAL_ERROR "${name}: dependency ${dep} is not defined yet (upward link?)")
    endif()
    get_target_property(depLayer ${dep} MELKO_LAYER)
    get_target_property(depUi ${dep} MELKO_UI)
    melko_layer_index(${depLayer} depIdx)
    if(depIdx GREATER myIdx)
      message(FATAL_ERROR "${name} (${ARG_LAYER}) may not link ${dep} (${depLayer}): upward link")
    endif()
    if(depUi AND NOT ARG_UI)
      message(FATAL_ERROR "${name} is Qt-free and may not link the UI library ${dep}")
    endif()
  endforeach()
  foreach(lib IN LISTS ARG_LIBS)
    if(lib MATCHES "^Qt" AND NOT ARG_UI)
      message(FATAL_ERROR "${name} is a core library and may not link ${lib}")
    endif()
  endforeach()
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} ${ARG_LIBS})
endfunction()

# melko_test(NAME SOURCES ... DEPENDS ...): one GoogleTest binary registered with CTest.
function(melko_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()  # a suite whose first test is still being written
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MELKO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

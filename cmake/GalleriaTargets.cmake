# galleria_add_components(<folder>...): adds each sub-folder that has a build file, unless
# GALLERIA_ONLY names a subset.
function(galleria_add_components)
  foreach(part ${ARGN})
    if(GALLERIA_ONLY AND NOT part IN_LIST GALLERIA_ONLY)
      continue()
    endif()
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${part}/CMakeLists.txt)
      add_subdirectory(${part})
    endif()
  endforeach()
endfunction()

# galleria_library(<name> [SHARED|STATIC] SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# A library's public headers live in <dir>/include/<name>/ and are all that other code may include.
function(galleria_library name)
  cmake_parse_arguments(ARG "STATIC" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_STATIC)
    add_library(${name} STATIC ${ARG_SOURCES})
  else()
    add_library(${name} SHARED ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                     PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# galleria_test(<name> [IN_APP_FOLDER] SOURCES ... DEPS ...): one GoogleTest executable,
# registered with CTest. IN_APP_FOLDER puts it beside the program, for tests that find the
# shipped files the way the program does.
function(galleria_test name)
  cmake_parse_arguments(ARG "IN_APP_FOLDER" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_IN_APP_FOLDER)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${GALLERIA_APP_DIR})
  else()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} testkit GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    GALLERIA_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/tests/data"
    GALLERIA_APP_DIR="${GALLERIA_APP_DIR}")
  # Suites named ...Stress... are the thread stress tests that also run under ThreadSanitizer;
  # `stress_tests` builds just the executables that hold them.
  foreach(source ${ARG_SOURCES})
    get_filename_component(source ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(NOT EXISTS ${source})
      continue()
    endif()
    file(STRINGS ${source} stress REGEX "TEST(_F|_P)?\\([A-Za-z0-9_]*Stress")
    if(stress)
      if(NOT TARGET stress_tests)
        add_custom_target(stress_tests)
      endif()
      add_dependencies(stress_tests ${name})
      break()
    endif()
  endforeach()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
endfunction()

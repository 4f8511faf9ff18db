# fuzz.cmake: one function that turns a libFuzzer source into a corpus replay test and, with
# KELVORAN_FUZZ (clang), into a fuzzing binary.
#
# kelvoran_fuzz_target(NAME SOURCE LIBS...)
#   NAME_replay  SOURCE + tools/fuzz_replay_main.cpp, linked with LIBS; every build.
#   NAME_corpus  CTest test replaying every file of tests/corpus/NAME through NAME_replay.
#   NAME_fuzz    SOURCE linked with -fsanitize=fuzzer and LIBS; only with KELVORAN_FUZZ.
# SOURCE is tools/NAME_fuzz.cpp by convention, so the fuzzing binary keeps the source's name.
function(kelvoran_fuzz_target name source)
  set(libs ${ARGN})
  set(corpus ${CMAKE_SOURCE_DIR}/tests/corpus/${name})

  add_executable(${name}_replay ${source} ${CMAKE_SOURCE_DIR}/tools/fuzz_replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE ${libs} kelvoran_warnings)
  add_test(NAME ${name}_corpus COMMAND ${name}_replay ${corpus})
  set_tests_properties(${name}_corpus PROPERTIES TIMEOUT 120)

  if(KELVORAN_FUZZ)
    add_executable(${name}_fuzz ${source})
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_fuzz PRIVATE ${libs} kelvoran_warnings)
  endif()
endfunction()

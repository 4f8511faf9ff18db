# fuzz.cmake: fuzz targets. Every build makes NAME_replay, which runs the target once on each
# file of its seed corpus tests/corpus/NAME as a CTest test; with KELVORAN_FUZZ (clang) the
# libFuzzer binary NAME is built too, for `make fuzz`.
function(kelvoran_fuzz_target NAME SOURCE)
  add_executable(${NAME}_replay ${SOURCE} ${CMAKE_SOURCE_DIR}/tools/fuzz_replay_main.cpp)
  target_link_libraries(${NAME}_replay PRIVATE ${ARGN} kelvoran_warnings)
  add_test(NAME Fuzz.${NAME}.CorpusReplay
    COMMAND ${NAME}_replay ${CMAKE_SOURCE_DIR}/tests/corpus/${NAME})
  set_tests_properties(Fuzz.${NAME}.CorpusReplay PROPERTIES TIMEOUT 120)
  if(KELVORAN_FUZZ)
    add_executable(${NAME} ${SOURCE})
    target_link_options(${NAME} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${NAME} PRIVATE ${ARGN} kelvoran_warnings)
  endif()
endfunction()

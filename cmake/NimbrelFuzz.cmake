# The fuzzing build: every target of the pure code compiled by clang with
# coverage for libFuzzer, AddressSanitizer and UBSan. On top of UBSan's
# defaults it traps unsigned wrap and value-changing implicit conversions,
# because none of our arithmetic on outside data means to wrap; the few
# places that wrap on purpose are written so they do not.
if(WIN32 OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "NIMBREL_FUZZ needs a native clang build (the fuzz preset uses clang++-14)")
endif()

set(NIMBREL_FUZZ_SANITIZERS
    address,undefined,unsigned-integer-overflow,implicit-conversion,float-divide-by-zero)
add_compile_options(
  -fsanitize=fuzzer-no-link,${NIMBREL_FUZZ_SANITIZERS}
  -fsanitize-ignorelist=${CMAKE_CURRENT_LIST_DIR}/fuzz-ignorelist.txt
  -fno-sanitize-recover=all
  -fno-omit-frame-pointer)
add_link_options(-fsanitize=${NIMBREL_FUZZ_SANITIZERS})

enable_testing()
find_program(NIMBREL_LLVM_SYMBOLIZER NAMES llvm-symbolizer-14 llvm-symbolizer)

# The sanitizer and fuzzing builds, each in a build folder of its own.
#
#   -DVANTREL_SANITIZE=ON   AddressSanitizer (with LeakSanitizer) and
#                           UndefinedBehaviorSanitizer on everything, for the
#                           whole test suite (preset "asan").
#   -DVANTREL_FUZZ=ON       the fuzz targets in fuzz/, with clang and
#                           libFuzzer; every library they link gets the same
#                           sanitizers and the fuzzer's coverage
#                           instrumentation (preset "fuzz").
#
# Undefined behaviour stops the program at once instead of being reported
# and passed over, so a test or a fuzz run cannot succeed past one. Included
# from the top-level CMakeLists.txt before any target is made; it ends with
# vantrel_link_sanitizer_defaults(), called after the last one is.

option(VANTREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VANTREL_FUZZ "Build the fuzz targets (clang, libFuzzer; implies the sanitizers)" OFF)

set(vantrel_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
# Frame pointers and line tables make the reports name the line at fault.
set(vantrel_sanitizer_extras -fno-omit-frame-pointer -g1)

if(VANTREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VANTREL_FUZZ needs clang (libFuzzer): configure with "
                        "-DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link ${vantrel_sanitizers} ${vantrel_sanitizer_extras})
  add_link_options(${vantrel_sanitizers})
elseif(VANTREL_SANITIZE)
  add_compile_options(${vantrel_sanitizers} ${vantrel_sanitizer_extras})
  add_link_options(${vantrel_sanitizers})
endif()

# libimagequant runs on GCC's OpenMP runtime, libgomp, and the converter sets
# the thread count of the runtime it links. Built with clang it would link
# clang's own (libomp) by default: two runtimes in one process, and the
# converter's setting reaching the wrong one. So clang links libgomp too;
# the header comes from clang's OpenMP package, the functions it declares
# are the same in both runtimes.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND NOT DEFINED OpenMP_CXX_FLAGS)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgomp.so
                  OUTPUT_VARIABLE vantrel_libgomp OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(OpenMP_CXX_FLAGS -fopenmp=libgomp CACHE STRING "OpenMP flags, for GCC's runtime")
  set(OpenMP_CXX_LIB_NAMES gomp CACHE STRING "OpenMP runtime: GCC's, as libimagequant's")
  set(OpenMP_gomp_LIBRARY ${vantrel_libgomp} CACHE FILEPATH "GCC's OpenMP runtime")
endif()

# Every executable of a sanitized build carries the sanitizers' default
# options (sanitize/defaults.cpp): the leak suppressions, stack traces for
# undefined behaviour. Built into the programs, they hold however a test or
# a developer starts them, with no environment to set up.
function(vantrel_link_sanitizer_defaults)
  if(NOT VANTREL_SANITIZE AND NOT VANTREL_FUZZ)
    return()
  endif()
  add_library(vantrel_sanitizer_defaults OBJECT ${PROJECT_SOURCE_DIR}/sanitize/defaults.cpp)
  target_compile_definitions(vantrel_sanitizer_defaults PRIVATE
    VANTREL_LSAN_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/sanitize/lsan.supp")
  set(directories ${PROJECT_SOURCE_DIR})
  while(directories)
    list(POP_FRONT directories directory)
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    list(APPEND directories ${subdirectories})
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        target_link_libraries(${target} PRIVATE vantrel_sanitizer_defaults)
      endif()
    endforeach()
  endwhile()
endfunction()

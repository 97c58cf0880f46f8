# Deep-check builds: AddressSanitizer + UndefinedBehaviorSanitizer over the
# whole tree, and the libFuzzer targets (clang only). Both stay off in the
# ordinary build; `make check-deep` turns them on in a build folder of its own.
option(VIZUVOD_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VIZUVOD_FUZZ "Build the libFuzzer targets under fuzz/ (needs clang)" OFF)

if(VIZUVOD_SANITIZE)
  # No recovery: the first report fails the test that caused it.
  set(VIZUVOD_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=all)
  add_compile_options(${VIZUVOD_SANITIZER_FLAGS})
  add_link_options(${VIZUVOD_SANITIZER_FLAGS})
endif()

if(VIZUVOD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VIZUVOD_FUZZ needs clang++ (libFuzzer); configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage feedback for the engine too, not only for the harness itself.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

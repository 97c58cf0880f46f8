find_package(GTest REQUIRED)
include(GoogleTest)

# vizuvod_add_gtest(NAME source... LIBS lib...): a GoogleTest program run by ctest.
function(vizuvod_add_gtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "VIZUVOD_CORPUS=${CMAKE_SOURCE_DIR}/../shared/corpus")
endfunction()

# vizuvod_add_qtest(NAME source... LIBS lib...): a Qt Test program run headless.
function(vizuvod_add_qtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  qt_add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test Qt6::Widgets)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

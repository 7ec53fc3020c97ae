# Tests of the real windows and of pairly-calc.exe, under Wine (included from CMakeLists.txt).
add_executable(window_tests window_test_main.cpp form1_test.cpp $<TARGET_OBJECTS:pairly_resources>)
target_link_libraries(window_tests PRIVATE pairly_windows gtest)
target_compile_options(window_tests PRIVATE ${PAIRLY_WARNINGS})
target_link_options(window_tests PRIVATE -municode)
add_test(NAME window_tests COMMAND window_tests)
list(APPEND wine_tests window_tests)

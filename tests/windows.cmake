# Tests of the real windows and of pairly-calc.exe, under Wine (included from CMakeLists.txt).
add_executable(window_tests window_test_main.cpp form1_test.cpp splash_test.cpp input_test.cpp
  gate_test.cpp locale_window_test.cpp failing_allocations.cpp $<TARGET_OBJECTS:pairly_resources>)
# uuid before oleacc: the x64 oleacc import library's IID_IAccessible is not the GUID itself.
target_link_libraries(window_tests PRIVATE pairly_windows gtest uuid oleacc)
target_compile_options(window_tests PRIVATE ${PAIRLY_WARNINGS})
target_link_options(window_tests PRIVATE -municode)
add_test(NAME window_tests COMMAND window_tests)
set_tests_properties(window_tests PROPERTIES ENVIRONMENT "LANG=en_US.UTF-8;LC_ALL=en_US.UTF-8")
list(APPEND wine_tests window_tests)

# The window under other locales: comma decimals, double-byte, Cyrillic, Central European.
foreach(run IN ITEMS "comma|de_DE|PAIRLY_EXPECT_DECIMAL=," "932|ja_JP|PAIRLY_EXPECT_ACP=932"
                     "1251|ru_RU|PAIRLY_EXPECT_ACP=1251" "1250|cs_CZ|PAIRLY_EXPECT_ACP=1250")
  string(REPLACE "|" ";" run "${run}")
  list(GET run 0 name)
  list(GET run 1 locale)
  list(GET run 2 expectation)
  add_test(NAME window_tests_${name} COMMAND window_tests --gtest_filter=LocaleWindow.*)
  set_tests_properties(window_tests_${name} PROPERTIES
    ENVIRONMENT "LANG=${locale}.UTF-8;LC_ALL=${locale}.UTF-8;${expectation}")
  list(APPEND wine_tests window_tests_${name})
endforeach()

# A copy of pairly-calc.exe for the tests alone, whose start fails on request
# (start_failures.cpp); the program itself reads no environment.
add_executable(pairly-calc-failing-start WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp
  start_failures.cpp failing_allocations.cpp $<TARGET_OBJECTS:pairly_resources>)
target_link_libraries(pairly-calc-failing-start PRIVATE pairly_windows)
target_compile_options(pairly-calc-failing-start PRIVATE ${PAIRLY_WARNINGS})
target_link_options(pairly-calc-failing-start PRIVATE -municode -mwindows)

# pairly-calc.exe itself: its resources, and the program driven from another process, by
# keyboard and mouse and as a screen reader reads it; and how it fails to start.
add_executable(app_tests app_test.cpp screen_reader_test.cpp)
target_link_libraries(app_tests PRIVATE pairly_windows gtest_main version uuid oleacc)
target_compile_options(app_tests PRIVATE ${PAIRLY_WARNINGS})
target_compile_definitions(app_tests PRIVATE PAIRLY_CALC_EXE="$<TARGET_FILE:pairly-calc>"
  PAIRLY_CALC_FAILING_START_EXE="$<TARGET_FILE:pairly-calc-failing-start>")
add_dependencies(app_tests pairly-calc pairly-calc-failing-start)
add_test(NAME app_tests COMMAND app_tests)
list(APPEND wine_tests app_tests)

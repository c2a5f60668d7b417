file(REMOVE_RECURSE
  "CMakeFiles/zereduv_tests.dir/tests/run/driver_test.cpp.o"
  "CMakeFiles/zereduv_tests.dir/tests/run/driver_test.cpp.o.d"
  "zereduv_tests"
  "zereduv_tests.pdb"
  "zereduv_tests[1]_tests.cmake"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/zereduv_tests.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()

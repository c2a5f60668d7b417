file(REMOVE_RECURSE
  "CMakeFiles/zereduv.dir/SRC/run/main.cpp.o"
  "CMakeFiles/zereduv.dir/SRC/run/main.cpp.o.d"
  "zereduv"
  "zereduv.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/zereduv.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()

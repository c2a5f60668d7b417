file(REMOVE_RECURSE
  "CMakeFiles/zereduv_core.dir/SRC/run/control.cpp.o"
  "CMakeFiles/zereduv_core.dir/SRC/run/control.cpp.o.d"
  "CMakeFiles/zereduv_core.dir/SRC/run/driver.cpp.o"
  "CMakeFiles/zereduv_core.dir/SRC/run/driver.cpp.o.d"
  "CMakeFiles/zereduv_core.dir/SRC/run/errors.cpp.o"
  "CMakeFiles/zereduv_core.dir/SRC/run/errors.cpp.o.d"
  "CMakeFiles/zereduv_core.dir/SRC/run/text_io.cpp.o"
  "CMakeFiles/zereduv_core.dir/SRC/run/text_io.cpp.o.d"
  "libzereduv_core.a"
  "libzereduv_core.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/zereduv_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()

file(REMOVE_RECURSE
  "CMakeFiles/pillbox_table.dir/tools/pillbox_table.cpp.o"
  "CMakeFiles/pillbox_table.dir/tools/pillbox_table.cpp.o.d"
  "pillbox_table"
  "pillbox_table.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/pillbox_table.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()

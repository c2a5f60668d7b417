CMakeFiles/pillbox_table.dir/tools/pillbox_table.cpp.o: \
 /work/main/tools/pillbox_table.cpp /usr/include/stdc-predef.h

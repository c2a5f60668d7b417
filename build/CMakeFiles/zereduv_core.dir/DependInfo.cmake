
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/SRC/run/control.cpp" "CMakeFiles/zereduv_core.dir/SRC/run/control.cpp.o" "gcc" "CMakeFiles/zereduv_core.dir/SRC/run/control.cpp.o.d"
  "/work/main/SRC/run/driver.cpp" "CMakeFiles/zereduv_core.dir/SRC/run/driver.cpp.o" "gcc" "CMakeFiles/zereduv_core.dir/SRC/run/driver.cpp.o.d"
  "/work/main/SRC/run/errors.cpp" "CMakeFiles/zereduv_core.dir/SRC/run/errors.cpp.o" "gcc" "CMakeFiles/zereduv_core.dir/SRC/run/errors.cpp.o.d"
  "/work/main/SRC/run/text_io.cpp" "CMakeFiles/zereduv_core.dir/SRC/run/text_io.cpp.o" "gcc" "CMakeFiles/zereduv_core.dir/SRC/run/text_io.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")

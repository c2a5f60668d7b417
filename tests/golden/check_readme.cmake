# The CTest golden.readme: every case folder beside this script has its row
# in README.md's table of cases (a line starting with "| `folder` |").
#   cmake -DDIR=<tests/golden> -P check_readme.cmake
file(READ "${DIR}/README.md" readme)
file(GLOB entries LIST_DIRECTORIES true "${DIR}/*")
set(missing)
foreach(entry IN LISTS entries)
  get_filename_component(case "${entry}" NAME)
  if(NOT IS_DIRECTORY "${entry}" OR case STREQUAL "tables")
    continue()
  endif()
  string(FIND "${readme}" "\n| `${case}` |" at)
  if(at EQUAL -1)
    list(APPEND missing "${case}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " names)
  message(FATAL_ERROR "tests/golden/README.md has no row for these case "
          "folders; add one to its table of cases for each (| `folder` | what "
          "it pins |):\n  ${names}")
endif()

# Dependencies for a cross build, taken from the build host's Debian packages
# without letting the host's own headers or libraries into the target build:
# GoogleTest is compiled from its sources (googletest package), and the
# header-only JSON library is copied into the build tree on its own, so that
# no include path points at the host's /usr/include.

if(ZEREDUV_TESTS AND NOT TARGET GTest::gtest_main)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND AND EXISTS /usr/src/googletest/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL SYSTEM)
  endif()
endif()

if(NOT TARGET nlohmann_json::nlohmann_json)
  find_package(nlohmann_json 3 QUIET)
  set(_zereduv_json_src /usr/include/nlohmann)
  if(NOT nlohmann_json_FOUND AND EXISTS ${_zereduv_json_src}/json.hpp)
    set(_zereduv_json_dir ${CMAKE_BINARY_DIR}/cross-include)
    file(COPY ${_zereduv_json_src} DESTINATION ${_zereduv_json_dir})
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES ${_zereduv_json_dir})
    set(nlohmann_json_FOUND TRUE)
  endif()
endif()

function(add_project_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12 at -O3 reports std::string concatenation inside libstdc++ as an overlapping
  # memcpy (GCC bug 105329): a false -Wrestrict that would fail Release builds.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# Stops the configuration when the folders that the sources and headers of `dir` include
# are not exactly the folder libraries in the link list (other entries, such as imported
# targets, are left aside), so that the list claims no link that no include uses.
function(check_folder_links dir)
  file(GLOB files ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h
       ${CMAKE_SOURCE_DIR}/${dir}/*/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*/*.h)
  list(FILTER files EXCLUDE REGEX "/main\\.cpp$")
  set(included)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^#include \"[a-z_]+/")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" folder "${line}")
      if(NOT folder STREQUAL dir)
        list(APPEND included ${folder})
      endif()
    endforeach()
  endforeach()
  set(linked)
  foreach(dep ${ARGN})
    if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${dep})
      list(APPEND linked ${dep})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES included)
  list(SORT included)
  list(SORT linked)
  if(NOT "${included}" STREQUAL "${linked}")
    message(FATAL_ERROR "${dir}/ includes headers of [${included}] but links [${linked}]")
  endif()
endfunction()

# A static library of every .cpp in `dir` except its main.cpp; an interface
# library while the folder has no sources yet.
function(folder_library name dir)
  check_folder_links(${dir} ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
    add_project_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# One GoogleTest executable per folder of tests/, registered with CTest.
function(folder_tests dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  if(NOT TARGET test_main)
    add_library(test_main STATIC ${CMAKE_SOURCE_DIR}/tests/test_main.cpp)
    target_link_libraries(test_main PUBLIC GTest::gtest)
    add_project_warnings(test_main)
  endif()
  add_executable(${dir}_tests ${srcs})
  target_link_libraries(${dir}_tests PRIVATE ${ARGN} test_main)
  target_compile_definitions(${dir}_tests PRIVATE
    TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    SOURCE_ROOT_DIR="${CMAKE_SOURCE_DIR}")
  add_project_warnings(${dir}_tests)
  # Scratch files of the tests go below this build tree, so that two checkouts never
  # share them; each test process makes a folder of its own in it (tests/test_main.cpp),
  # so that tests may run side by side (ctest -j).
  set(scratch ${CMAKE_BINARY_DIR}/test_scratch/${dir})
  file(MAKE_DIRECTORY ${scratch})
  # Under the sanitizers, and side by side, the longest tests take several times as long.
  set(limit 300)
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    set(limit 900)
  endif()
  gtest_discover_tests(${dir}_tests
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${limit} ENVIRONMENT "TMPDIR=${scratch}/;TEST_TMPDIR=${scratch}/")
endfunction()

# Helpers shared by the build: one static library per engine folder, one
# executable per tool or benchmark folder, one test binary per test folder.

# kelvara_engine_library(<folder> [deps...]) -> target kelvara_<folder>
function(kelvara_engine_library part)
  file(GLOB _src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${part}/*.cpp)
  set(_deps)
  foreach(d ${ARGN})
    list(APPEND _deps kelvara_${d})
  endforeach()
  if(_src)
    add_library(kelvara_${part} STATIC ${_src})
    target_include_directories(kelvara_${part} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(kelvara_${part} PUBLIC ${_deps} Threads::Threads)
  else()
    add_library(kelvara_${part} INTERFACE)
    target_include_directories(kelvara_${part} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(kelvara_${part} INTERFACE ${_deps} Threads::Threads)
  endif()
endfunction()

# All engine libraries at once, for tools, benchmarks and tests.
set(KELVARA_ENGINE kelvara_audio kelvara_machine kelvara_cpu kelvara_chips kelvara_app)

# kelvara_folder_executable(<name> <dir>) : every .cpp in <dir> makes one program.
function(kelvara_folder_executable name dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(_src)
    add_executable(${name} ${_src})
    target_link_libraries(${name} PRIVATE ${KELVARA_ENGINE})
  endif()
endfunction()

# kelvara_test_program(<target>)
# Test code is compiled for build speed, not run speed: the code under test
# lives in the (optimised) libraries, so test files are built unoptimised and
# several at a time in one compiler run, which parses GoogleTest, the standard
# library (and for the widget tests Qt) once per batch instead of per file.
# (GCC would warn about every fixture in an anonymous namespace once files
# share a compiler run.)
function(kelvara_test_program target)
  target_compile_options(${target} PRIVATE -O0 $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16)
endfunction()

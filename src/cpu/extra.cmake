# Exerciser build of the Z80 core: the same sources compiled with
# KELVARA_Z80_XYFLAGS, which also derives F bits 0x08/0x20 from results. Only
# the kelvara-z80run-xyflags test tool links it; the product never does.
file(GLOB _kelvara_z80_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/cpu/*.cpp)
add_library(kelvara_cpu_xyflags STATIC EXCLUDE_FROM_ALL ${_kelvara_z80_sources})
target_include_directories(kelvara_cpu_xyflags PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(kelvara_cpu_xyflags PUBLIC KELVARA_Z80_XYFLAGS=1)
target_link_libraries(kelvara_cpu_xyflags PUBLIC kelvara_app Threads::Threads)

# The sanitizer build compiles the opcode loops unoptimised: instrumenting
# their 256-way threaded dispatch takes the optimiser many minutes, and the
# checks are the same at any level.
if(KELVARA_SANITIZE)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/cpu/Z80.cpp TARGET_DIRECTORY kelvara_cpu
                              PROPERTIES COMPILE_OPTIONS -O0)
endif()

# kelvara-z80run-xyflags: the same runner on the exerciser build of the Z80
# core (F bits 0x08/0x20 derived too); used by the zexall test only.
add_executable(kelvara-z80run-xyflags ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(kelvara-z80run-xyflags PRIVATE kelvara_cpu_xyflags)
# Its only test is a heavy one, which the sanitizer pass never runs; GCC's
# undefined-behaviour instrumentation of the core takes minutes to compile,
# so the sanitizer build leaves this second copy of the core out.
if(KELVARA_SANITIZE)
  set_target_properties(kelvara-z80run-xyflags PROPERTIES EXCLUDE_FROM_ALL ON)
endif()

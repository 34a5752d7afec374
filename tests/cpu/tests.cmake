# The Z80 instruction exercisers, run by kelvara-z80run (long: Release only).
set(_z80_check ${CMAKE_CURRENT_SOURCE_DIR}/cpu/CheckExerciser.cmake)
set(_z80_data ${CMAKE_CURRENT_SOURCE_DIR}/data/z80)

# zexdoc: all 67 documented-behaviour tests pass.
add_test(NAME Z80.ZexdocPassesAllTests
         COMMAND ${CMAKE_COMMAND} -DRUNNER=$<TARGET_FILE:kelvara-z80run>
                 -DPROGRAM=${_z80_data}/zexdoc.com -DEXPECT=pass -P ${_z80_check})

# zexall on the product core: exactly the listed tests fail, and where zexdoc
# masks only F bits 0x08/0x20 the CRC found is zexdoc's expected one.
add_test(NAME Z80.ZexallFailsOnlyTheListedTests
         COMMAND ${CMAKE_COMMAND} -DRUNNER=$<TARGET_FILE:kelvara-z80run>
                 -DPROGRAM=${_z80_data}/zexall.com -DEXPECT=listed
                 -DFAILURES=${CMAKE_CURRENT_SOURCE_DIR}/cpu/zexall-failures.txt -P ${_z80_check})

# zexall on the exerciser build, which differs only by deriving bits
# 0x08/0x20: every test passes, so those two bits are all that fails above.
if(NOT KELVARA_SANITIZE)  # the sanitizer build does not build the exerciser runner
  add_test(NAME Z80.ZexallPassesWhenFlagBits35AreDerived
           COMMAND ${CMAKE_COMMAND} -DRUNNER=$<TARGET_FILE:kelvara-z80run-xyflags>
                   -DPROGRAM=${_z80_data}/zexall.com -DEXPECT=pass -P ${_z80_check})
  set_tests_properties(Z80.ZexallPassesWhenFlagBits35AreDerived PROPERTIES LABELS heavy TIMEOUT 3000 COST 1000)
endif()

# (A high cost makes ctest start these long runs first instead of last.)
set_tests_properties(Z80.ZexdocPassesAllTests Z80.ZexallFailsOnlyTheListedTests
                     PROPERTIES LABELS heavy TIMEOUT 3000 COST 1000)

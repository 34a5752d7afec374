# Runs kelvara-datagen on small hand-made tables: a well-formed pair must
# convert, and each malformed file must stop the conversion with a message
# naming the file and line, leaving no output behind.
# Usage: cmake -DDATAGEN=<path> -DWORK=<dir> -P DatagenRejectsBadData.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

set(_machines_ok "# comment\n0 | YM2413 | 3579545 | 3579545 | 357954 | 0 | 0 | 4892 | 0x38 | 0 | 0x2000-0x3FFF | mem 0x6000-0x7FFF | mem 0x4000-0x5FFF\n2 | PSG | 4000000 | 4000000 | 1 | 0 | 0 | 0 | 0 | 0 | 0x8000-0x9FFF | port 0x87 | port 0x84-0x85\n")
set(_roms_ok "407C6D0E | 0 | 1 |  |  |  | トリプルクラウンⅡ ３０\n7D4C4539 | 2 | 0 | B | maker | Z84C0006,YM2149 | Ｂｉｎ－～\n")

# run_case(<name> <kind> <message regex, or OK> <machines.txt text> <roms.txt text>)
function(run_case name kind regex machines roms)
  file(WRITE ${WORK}/${name}-machines.txt "${machines}")
  file(WRITE ${WORK}/${name}-roms.txt "${roms}")
  if(kind STREQUAL "roms")
    set(_inputs ${WORK}/${name}-roms.txt ${WORK}/${name}-machines.txt)
  else()
    set(_inputs ${WORK}/${name}-machines.txt)
  endif()
  execute_process(COMMAND ${DATAGEN} ${kind} ${WORK}/${name}.cpp ${_inputs}
                  RESULT_VARIABLE _rc ERROR_VARIABLE _err OUTPUT_QUIET)
  if(regex STREQUAL "OK")
    if(NOT _rc EQUAL 0 OR NOT EXISTS ${WORK}/${name}.cpp)
      message(FATAL_ERROR "${name}: conversion failed: ${_err}")
    endif()
    return()
  endif()
  if(_rc EQUAL 0)
    message(FATAL_ERROR "${name}: bad data was accepted")
  endif()
  if(NOT _err MATCHES "${regex}")
    message(FATAL_ERROR "${name}: message '${_err}' does not match '${regex}'")
  endif()
  if(EXISTS ${WORK}/${name}.cpp)
    message(FATAL_ERROR "${name}: output written despite the error")
  endif()
endfunction()

run_case(good-machines machines "OK" "${_machines_ok}" "")
run_case(good-roms roms "OK" "${_machines_ok}" "${_roms_ok}")
file(READ ${WORK}/good-roms.cpp _gen)
# Ⅱ in CP932 is 87 55 (octal 207 125); the derived label of type 0 is "Z80,YM2413";
# a given hardware label is kept.
foreach(_want "\\\\207U" "\"Z80,YM2413\"" "\"Z84C0006,YM2149\"" "{0x7D4C4539, 2, 0x0,")
  if(NOT _gen MATCHES "${_want}")
    message(FATAL_ERROR "good-roms: generated source lacks ${_want}")
  endif()
endforeach()

run_case(columns roms "roms.txt:1: expected 7 columns" "${_machines_ok}" "407C6D0E | 0 | 0 |  |  | title\n")
run_case(short-crc roms "roms.txt:2: crc '7C6D0E' must be 8 hex" "${_machines_ok}" "# x\n7C6D0E | 0 | 0 |  |  |  | t\n")
run_case(zero-crc roms "roms.txt:1: crc 00000000 is reserved" "${_machines_ok}" "00000000 | 0 | 0 |  |  |  | t\n")
run_case(no-cp932 roms "roms.txt:1: title .* has no CP932 form" "${_machines_ok}" "407C6D0E | 0 | 0 |  |  |  | café 😀\n")
run_case(no-title roms "roms.txt:1: empty title" "${_machines_ok}" "407C6D0E | 0 | 0 |  |  |  |\n")
run_case(bad-type roms "roms.txt:1: bad type" "${_machines_ok}" "407C6D0E | x1 | 0 |  |  |  | t\n")
run_case(chip machines "machines.txt:1: unknown chip 'OPL3'" "0 | OPL3 | 1 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0x2000-0x3FFF | mem 0x6000 | mem 0x4000\n" "")
run_case(dup machines "machines.txt:4: machine type 0 listed twice" "${_machines_ok}0 | PSG | 1 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0x2000-0x3FFF | mem 0x6000 | mem 0x4000\n" "")
run_case(range machines "machines.txt:1: ram range '0x3FFF-0x2000' is inverted" "0 | PSG | 1 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0x3FFF-0x2000 | mem 0x6000 | mem 0x4000\n" "")
run_case(port machines "machines.txt:1: chipAt port range '0x100' beyond 0xFF" "0 | PSG | 1 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0x2000-0x3FFF | mem 0x6000 | port 0x100\n" "")
run_case(space machines "machines.txt:1: latch must start with 'mem' or 'port'" "0 | PSG | 1 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0x2000-0x3FFF | io 0x60 | mem 0x4000\n" "")
run_case(clock machines "machines.txt:1: cpuClock 0 is reserved" "0 | PSG | 0 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0x2000-0x3FFF | mem 0x6000 | mem 0x4000\n" "")
run_case(entry machines "machines.txt:1: tickEntry '0x10000' does not fit in 16 bits" "0 | PSG | 1 | 1 | 1 | 0 | 0x10000 | 0 | 0 | 0 | 0x2000-0x3FFF | mem 0x6000 | mem 0x4000\n" "")
file(REMOVE_RECURSE ${WORK})

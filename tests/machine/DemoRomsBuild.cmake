# The kelvara-asm command: the committed demo images are exactly what their
# source builds; a fresh build writes the same bytes into a new folder and
# leaves up-to-date images alone; a folder that cannot be created, a
# missing or changed image and a bad command line fail with a message.
# Usage: cmake -DASM=<kelvara-asm> -DROMS=<examples/roms> -DWORK=<dir> -P DemoRomsBuild.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# expect(<exit code> <output regex> args...)
function(expect rc regex)
  execute_process(COMMAND ${ASM} ${ARGN} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
  if(NOT _rc EQUAL ${rc})
    message(FATAL_ERROR "kelvara-asm ${ARGN}: exit ${_rc}, expected ${rc}\n${_out}${_err}")
  endif()
  if(NOT "${_out}${_err}" MATCHES "${regex}")
    message(FATAL_ERROR "kelvara-asm ${ARGN}: output does not match '${regex}':\n${_out}${_err}")
  endif()
endfunction()

expect(0 "demo-psg-type62.bin: matches" --check ${ROMS})

expect(0 "demo-opll-type40.bin: written \\(8192 bytes, type 40, checksum 4300BFD3\\)" ${WORK}/out/new)
file(GLOB _built RELATIVE ${WORK}/out/new ${WORK}/out/new/*)
list(SORT _built)
if(NOT _built STREQUAL "demo-opll-type40.bin;demo-psg-type62.bin;demo-ymf281b-type24.bin")
  message(FATAL_ERROR "unexpected files written: ${_built}")
endif()
foreach(_f ${_built})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/out/new/${_f} ${ROMS}/${_f} RESULT_VARIABLE _diff)
  if(_diff)
    message(FATAL_ERROR "${_f} written differs from the committed image")
  endif()
endforeach()
expect(0 "demo-ymf281b-type24.bin: up to date" ${WORK}/out/new)

# A damaged image is noticed by --check and repaired by a build.
file(WRITE ${WORK}/out/new/demo-opll-type40.bin "not a ROM")
file(REMOVE ${WORK}/out/new/demo-psg-type62.bin)
expect(1 "demo-opll-type40.bin: differs.*demo-psg-type62.bin: missing" --check ${WORK}/out/new)
expect(0 "^$" -q ${WORK}/out/new)
expect(0 "matches" --check ${WORK}/out/new)

file(WRITE ${WORK}/plainfile "")
expect(1 "cannot create the folder .*plainfile/sub" ${WORK}/plainfile/sub)
expect(1 "cannot create the folder .*plainfile" ${WORK}/plainfile)
expect(2 "unexpected argument '--bogus'" --bogus ${WORK}/out)
expect(2 "give one of OUTDIR" )
expect(0 "usage: kelvara-asm.*Exit status" --help)
file(REMOVE_RECURSE ${WORK})

# The kelvara-asm command on the demo ROM source: the committed images are
# exactly what it builds; a fresh build writes the same bytes into a new
# folder and leaves up-to-date images alone; a source error names file and
# line and writes nothing; a folder that cannot be created, a missing or
# changed image and a bad command line fail with a message.
# Usage: cmake -DASM=<kelvara-asm> -DROMS=<examples/roms> -DWORK=<dir> -P DemoRomsBuild.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(SRC ${ROMS}/src)

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

expect(0 "demo-psg-type62.bin: matches" --check ${ROMS} ${SRC})

set(OUT ${WORK}/out/new)
expect(0 "demo-opll-type40.bin: written \\(8192 bytes\\)" -o ${OUT} ${SRC})
file(GLOB _built RELATIVE ${OUT} ${OUT}/*)
list(SORT _built)
if(NOT _built STREQUAL "demo-opll-type40.bin;demo-psg-type62.bin;demo-ymf281b-type24.bin")
  message(FATAL_ERROR "unexpected files written: ${_built}")
endif()
foreach(_f ${_built})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${_f} ${ROMS}/${_f} RESULT_VARIABLE _diff)
  if(_diff)
    message(FATAL_ERROR "${_f} written differs from the committed image")
  endif()
endforeach()
expect(0 "demo-ymf281b-type24.bin: up to date" -o ${OUT} ${SRC}/demo-ymf281b-type24.asm)

# A damaged image is noticed by --check and repaired by a build.
file(WRITE ${OUT}/demo-opll-type40.bin "not a ROM")
file(REMOVE ${OUT}/demo-psg-type62.bin)
expect(1 "demo-opll-type40.bin: differs.*demo-psg-type62.bin: missing" --check ${OUT} ${SRC})
expect(0 "^$" -q -o ${OUT} ${SRC})
expect(0 "matches" --check ${OUT} ${SRC})

# A source error names the file and line (inside an include too) and leaves
# the image that was there.
file(COPY ${SRC}/ DESTINATION ${WORK}/src)
file(READ ${WORK}/src/opll.inc _inc)
string(REPLACE "        or      0x10" "        or      0x100" _inc "${_inc}")
file(WRITE ${WORK}/src/opll.inc "${_inc}")
expect(1 "opll.inc:[0-9]+: value 256 out of range" -o ${OUT} ${WORK}/src/demo-opll-type40.asm)
expect(1 "opll.inc:[0-9]+: value 256 out of range" -o ${WORK}/never ${WORK}/src/demo-opll-type40.asm)
if(EXISTS ${WORK}/never)
  message(FATAL_ERROR "a folder was created for a source that did not assemble")
endif()
expect(0 "matches" --check ${OUT} ${SRC})

file(WRITE ${WORK}/plainfile "")
expect(1 "cannot create the folder .*plainfile/sub" -o ${WORK}/plainfile/sub ${SRC})
expect(1 "cannot create the folder .*plainfile" -o ${WORK}/plainfile ${SRC})
expect(1 "cannot read .*nothing.asm" -o ${OUT} ${WORK}/nothing.asm)
expect(1 "no .asm files in" -o ${OUT} ${WORK}/out)
expect(2 "unexpected argument '--bogus'" --bogus -o ${OUT} ${SRC})
expect(2 "give -o OUTDIR or --check DIR" ${SRC})
expect(0 "usage: kelvara-asm.*Exit status" --help)
file(REMOVE_RECURSE ${WORK})

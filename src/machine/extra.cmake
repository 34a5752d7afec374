# Build-time data tables: kelvara-datagen (a host program built from
# src/machine/gen/) converts the plain-text tables under data/ into C++
# sources compiled into kelvara_machine. See data/README.md for the formats.

file(GLOB _kelvara_datagen_src CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/gen/*.cpp)
add_executable(kelvara-datagen ${_kelvara_datagen_src})

# kelvara_generate_table(<kind> <output.cpp> <input>...)
#   Runs "kelvara-datagen <kind>" on the inputs whenever they or the
#   generator change, and compiles the result into kelvara_machine.
function(kelvara_generate_table kind output)
  set(_out ${CMAKE_BINARY_DIR}/generated/machine/${output})
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/machine
    COMMAND kelvara-datagen ${kind} ${_out} ${ARGN}
    DEPENDS kelvara-datagen ${ARGN}
    COMMENT "Generating ${output}"
    VERBATIM)
  target_sources(kelvara_machine PRIVATE ${_out})
endfunction()

set(KELVARA_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
kelvara_generate_table(machines MachineTable.cpp ${KELVARA_DATA_DIR}/machines.txt)
kelvara_generate_table(roms RomTable.cpp ${KELVARA_DATA_DIR}/roms.txt ${KELVARA_DATA_DIR}/machines.txt)

# The per-ROM fix-up table (converter gen/GenFixups.cpp) is registered in
# fixups.cmake, next to its owner's code.
include(${CMAKE_CURRENT_LIST_DIR}/fixups.cmake OPTIONAL)

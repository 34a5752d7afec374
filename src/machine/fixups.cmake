# The per-ROM fix-up table: data/fixups.txt -> FixupTable.cpp (constant
# arrays, converter src/machine/gen/GenFixups.cpp). roms.txt and
# machines.txt are read for cross-checks only.
kelvara_generate_table(fixups FixupTable.cpp
  ${KELVARA_DATA_DIR}/fixups.txt ${KELVARA_DATA_DIR}/roms.txt ${KELVARA_DATA_DIR}/machines.txt)

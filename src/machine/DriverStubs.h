// Driver stub images built into this program.
//
// A driver stub is a short Z80 program copied into board RAM at reset. The
// board enters it by setting the program counter (with the sound code in A
// for the command entry; see CSoundBoard::SendCommand and the tick timer):
// the entry loads its own stack pointer, calls the sound program's routines
// in ROM and then parks in an endless relative jump to itself. The fix-up
// table (data/fixups.txt, column "image") names the image of each record;
// the records of every other stub carry no image.
#pragma once

#include <cstdint>

// Machine type 40, ROM 4300BFD3: 64 bytes at CPU 0x9000.
// Command entry 0x9000: codes 0xFE and 0xFF store the ROM address 0x19BF
// or 0x1B19 into the RAM words 0x8043 and 0x8045; any other code goes to
// the ROM's RST 28h routine with the code in A. Tick entry 0x9020: calls
// the ROM's update routine at 0x0B3B.
extern const uint8_t kStub40_4300BFD3[64];

// Machine type 24, ROM 015D3C88: 64 bytes at CPU 0x9000.
// Command entry 0x9000: a code below 0x7F is stored at 0x8081 (0x8082
// cleared); any other code, less 0x80, at 0x8082 (0x8081 cleared). Tick
// entry 0x9020: calls the ROM at 0x00B3, 0x00E2 twice and 0x0038. Both
// entries end by clearing the handshake byte 0x8FFF, which the board sets
// to 0xFF when it enters the tick entry and waits on before the next tick.
extern const uint8_t kStub24_015D3C88[64];

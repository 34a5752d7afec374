#include "machine/DriverStubs.h"

// Both stubs sit at CPU 0x9000 (board RAM offset 0x1000) on a board whose
// RAM is 0x8000-0x9FFF. Entries are reached by overwriting PC, never by a
// call, so each entry sets its own stack first. Unused bytes are 0x00.

// clang-format off
const uint8_t kStub40_4300BFD3[64] = {
    // --- command entry, code in A -------------------------------------------
    0x31, 0x00, 0xA0,   // 9000  LD   SP,0A000h    stack at the top of RAM
    0xFE, 0xFE,         // 9003  CP   0FEh
    0x28, 0x07,         // 9005  JR   Z,900Eh      code FE: first address
    0xFE, 0xFF,         // 9007  CP   0FFh
    0x28, 0x08,         // 9009  JR   Z,9013h      code FF: second address
    0xEF,               // 900B  RST  28h          ROM command routine, A = code
    0x18, 0xFE,         // 900C  JR   900Ch        park
    0x21, 0xBF, 0x19,   // 900E  LD   HL,19BFh     ROM address for code FE
    0x18, 0x03,         // 9011  JR   9016h
    0x21, 0x19, 0x1B,   // 9013  LD   HL,1B19h     ROM address for code FF
    0x22, 0x43, 0x80,   // 9016  LD   (8043h),HL   both words get the address
    0x22, 0x45, 0x80,   // 9019  LD   (8045h),HL
    0x18, 0xFE,         // 901C  JR   901Ch        park
    0x00, 0x00,         // 901E  (unused)
    // --- tick entry -------------------------------------------------------------
    0x31, 0x00, 0xA0,   // 9020  LD   SP,0A000h
    0xCD, 0x3B, 0x0B,   // 9023  CALL 0B3Bh        ROM periodic update
    0x18, 0xFE,         // 9026  JR   9026h        park
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,   // 9028  (unused)
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

const uint8_t kStub24_015D3C88[64] = {
    // --- command entry, code in A -------------------------------------------
    0x31, 0xFF, 0x9F,   // 9000  LD   SP,9FFFh
    0xFE, 0x7F,         // 9003  CP   7Fh
    0x30, 0x09,         // 9005  JR   NC,9010h     code 7F and up: second slot
    0x32, 0x81, 0x80,   // 9007  LD   (8081h),A    code below 7F: first slot
    0xAF,               // 900A  XOR  A
    0x32, 0x82, 0x80,   // 900B  LD   (8082h),A    second slot cleared
    0x18, 0x09,         // 900E  JR   9019h
    0xD6, 0x80,         // 9010  SUB  80h
    0x32, 0x82, 0x80,   // 9012  LD   (8082h),A    code - 80h
    0xAF,               // 9015  XOR  A
    0x32, 0x81, 0x80,   // 9016  LD   (8081h),A    first slot cleared
    0x32, 0xFF, 0x8F,   // 9019  LD   (8FFFh),A    A = 0: handshake done
    0x18, 0xFE,         // 901C  JR   901Ch        park
    0x00, 0x00,         // 901E  (unused)
    // --- tick entry (the board has set 8FFFh to 0FFh) ----------------------------
    0x31, 0xFF, 0x9F,   // 9020  LD   SP,9FFFh
    0xCD, 0xB3, 0x00,   // 9023  CALL 00B3h        ROM update routines
    0xCD, 0xE2, 0x00,   // 9026  CALL 00E2h
    0xCD, 0xE2, 0x00,   // 9029  CALL 00E2h        (called twice per tick)
    0xCD, 0x38, 0x00,   // 902C  CALL 0038h
    0xAF,               // 902F  XOR  A
    0x32, 0xFF, 0x8F,   // 9030  LD   (8FFFh),A    handshake done
    0x18, 0xFE,         // 9033  JR   9033h        park
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,   // 9035  (unused)
    0x00, 0x00, 0x00,
};
// clang-format on

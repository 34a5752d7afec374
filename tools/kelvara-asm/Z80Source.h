// Assembling Z80 source text (the demo ROMs' .asm files) with Z80Asm.
//
// One statement per line, `;` starts a comment, case does not matter except
// in label names:
//   name:  INSTRUCTION operands      a label, then an instruction
//   name   EQU expression            a constant
//          ORG / DB / DW / DS count[,fill] / INCLUDE "file"
//          PHASE address / DEPHASE   code that runs after being copied
//          IMAGE size                pad the image with 0xFF to size bytes
//          CHECKSUM crc[,offset]     set four bytes at offset (default
//                                    8188) so the CRC-32 of the first 8192
//                                    bytes is crc (a ROM database checksum)
// Numbers: 42, 0x2A, $2A, 2Ah, 'c'; `$` alone is the current address.
// Expressions take + - * / and parentheses; a label may be used before it
// is defined only as a jump, call or word target (plus or minus a constant).
// Every error names the file and line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

struct Z80SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Assembles a source file (INCLUDE names are relative to the including
// file). Throws Z80SourceError.
std::vector<uint8_t> AssembleSourceFile(const std::filesystem::path& path);

// The same for text in memory; `name` is used in messages, INCLUDE names
// are relative to includeDir.
std::vector<uint8_t> AssembleSourceText(const std::string& text, const std::string& name,
                                        const std::filesystem::path& includeDir);

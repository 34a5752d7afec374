// A converter turns data/ table files into one generated C++ source. Each
// converter lives in its own file and registers itself under a kind name:
//
//   static const ConverterRegistration kReg{"roms", &ConvertRoms};
//
// and the build runs "kelvara-datagen <kind> <output.cpp> <input>...".
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Writes the generated source for `inputs` to `out`; throws GenError on bad data.
using ConvertFunction = void (*)(const std::vector<std::string>& inputs, std::ostream& out);

struct ConverterRegistration {
    ConverterRegistration(const char* kind, ConvertFunction convert);
};

// The converter registered under `kind`, or nullptr.
ConvertFunction FindConverter(const std::string& kind);
std::vector<std::string> ConverterKinds();

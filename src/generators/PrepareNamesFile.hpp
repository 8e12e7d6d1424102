#pragma once
#include "output/OutputFile.hpp"
#include "register/Register.hpp"

#include <cstdint>

// Appends names[i]="code"; for every basic feature, numbered from first on, then
// the closing entry names[0]="1";.
void populateNamesFile(RegisterHandle& h, LineSink& out, std::uint64_t first);

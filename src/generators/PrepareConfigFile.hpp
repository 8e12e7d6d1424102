#pragma once
#include "output/OutputFile.hpp"
#include "register/Register.hpp"

#include <cstdint>
#include <string_view>

// Counts the basic features from start on, then appends the three definitions
// occ_bitsize, model and number_of_vars.
void populateConfigFile(RegisterHandle& h, LineSink& out, std::uint64_t start,
                        std::string_view model, std::string_view occBitSize);

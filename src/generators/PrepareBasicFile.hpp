#pragma once
#include "output/OutputFile.hpp"
#include "register/Register.hpp"

#include <cstdint>
#include <string_view>

// Appends one bdd declaration per basic feature, numbered from first on, in the
// set model ("0") or the bag model ("1").
void populateBasicFile(RegisterHandle& h, LineSink& out, std::uint64_t first,
                       std::string_view model);

#pragma once
// The text that stands for a feature name in an expanded expression: the name
// itself for a basic feature, otherwise one blank.
#include "register/RegisterIndex.hpp"

#include <string>
#include <string_view>

// Looks the name up in the register at registerPath, from its first line.
std::string assign(std::string_view name, const std::string& registerPath);
// The same, on the register read once for the run.
std::string assign(std::string_view name, RegisterLookUp& lookUps);

// assign's decision on the line its look-up found: does the name stay?
bool keepsName(const RegisterIndex& ix, const LookedUp& found);

#pragma once
// A composite feature's expression as the family file writes it: nested PLUS and
// DOT calls over feature codes and constants.
#include "register/RegisterIndex.hpp"

#include <string>
#include <string_view>

// Looks features up in the register at registerPath.
std::string extendedAssign(std::string_view term, const std::string& registerPath);
// The same, on the register read once for the run.
std::string extendedAssign(std::string_view term, RegisterLookUp& lookUps);

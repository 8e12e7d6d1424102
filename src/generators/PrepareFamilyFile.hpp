#pragma once
#include "register/OutputFile.hpp"
#include "register/Register.hpp"

#include <string>

// Appends "FAMILY CODE;" and "CODE.insert(code);" for every basic feature.
void populateFamilyFileBasic(RegisterHandle& h, MaybePath outputPath);
// Appends "FAMILY CODE =expression;" for every composite feature (type "1" or
// "2"), its expression expanded against the register at registerPath.
void populateFamilyFileComposite(RegisterHandle& h, MaybePath outputPath,
                                 const std::string& registerPath);

#pragma once
#include "expansion/ExpansionsAhead.hpp"
#include "expansion/ExtendedAssign.hpp"
#include "output/OutputFile.hpp"
#include "register/Register.hpp"

#include <string>

// Appends "FAMILY CODE;" and "CODE.insert(code);" for every basic feature.
void populateFamilyFileBasic(RegisterHandle& h, LineSink& out);
// Appends "FAMILY CODE =expression;" for every composite feature (type "1" or
// "2"), its expression expanded against the register at registerPath.
void populateFamilyFileComposite(RegisterHandle& h, LineSink& out, const std::string& registerPath);
// The same, with the look-ups made on the run's register text, taking the lines
// made ahead where there are any.
void populateFamilyFileComposite(RegisterHandle& h, LineSink& out, ExpansionContext& context,
                                 ExpansionsAhead* ahead = nullptr);
// Appends the line "FAMILY CODE =expression;" of a composite to text.
void appendFamilyLine(NumberedLine line, ExpansionContext& context, std::string& text);
// Reads ahead the words of the composite's expression, for appendFamilyLine.
void prepareFamilyLine(const NumberedLine& line, ExpansionContext& context);

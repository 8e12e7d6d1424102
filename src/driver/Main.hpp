#pragma once
// The run: five generation steps over the register named on the command line.
#include "output/OutputFile.hpp"
#include "register/Register.hpp"

#include <string>
#include <vector>

// Argument n (counted from 1 after the program name); an absent one fails with
// the index message when its value is needed.
const std::string& argument(const std::vector<std::string>& args, std::size_t n);
MaybePath optionalArgument(const std::vector<std::string>& args, std::size_t n);

// Runs the five steps with the arguments as given (without the program name);
// reg is the register's text once step 1 has opened it.
void run(const std::vector<std::string>& args, RegisterText& reg);
void run(const std::vector<std::string>& args);

RegisterHandle loadRegister(const std::string& path);
// Makes the file at path hold exactly one blank.
void createLoadingFile(const std::string& path);

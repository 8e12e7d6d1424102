#include "driver/Main.hpp"

#include "generators/PrepareBasicFile.hpp"
#include "generators/PrepareConfigFile.hpp"
#include "generators/PrepareFamilyFile.hpp"
#include "generators/PrepareNamesFile.hpp"
#include "register/Failure.hpp"

const std::string& argument(const std::vector<std::string>& args, std::size_t n) {
    if (n == 0 || n > args.size()) fail(indexTooLarge);
    return args[n - 1];
}

MaybePath optionalArgument(const std::vector<std::string>& args, std::size_t n) {
    if (n == 0 || n > args.size()) return std::nullopt;
    return args[n - 1];
}

// Each step reads its own, freshly opened handle from the first line; the handle
// is released when the step's generator returns. Steps 4 and 5 append to the same
// family file. Arguments 4 and 5 are needed only when a line is to be written.
void run(const std::vector<std::string>& args) {
    const std::string& registerPath = argument(args, 3);
    {   // 1. Basic declarations file: one bdd variable per basic feature.
        RegisterHandle h = readRegister(registerPath);
        populateBasicFile(h, optionalArgument(args, 4), 1, argument(args, 1));
    }
    {   // 2. Names file: the code of every basic feature under its variable number.
        RegisterHandle h = readRegister(registerPath);
        populateNamesFile(h, "../working_dir/names.h", 1);
    }
    {   // 3. Configuration header: bit size, model and number of variables.
        RegisterHandle h = readRegister(registerPath);
        populateConfigFile(h, "../working_dir/config.h", 0, argument(args, 1), argument(args, 2));
    }
    {   // 4. Family file, basic part: a family per basic feature.
        RegisterHandle h = readRegister(registerPath);
        populateFamilyFileBasic(h, optionalArgument(args, 5));
    }
    {   // 5. Family file, composite part: each composite's expanded expression.
        RegisterHandle h = readRegister(registerPath);
        populateFamilyFileComposite(h, optionalArgument(args, 5), registerPath);
    }
}

RegisterHandle loadRegister(const std::string& path) { return readRegister(path); }

void createLoadingFile(const std::string& path) {
    OutputFile out(path, OutputFile::Truncate);
    appendText(out, " ");
    finishOutput(out);
}

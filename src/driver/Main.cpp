#include "driver/Main.hpp"

#include "generators/PrepareBasicFile.hpp"
#include "generators/PrepareConfigFile.hpp"
#include "generators/PrepareFamilyFile.hpp"
#include "generators/PrepareNamesFile.hpp"

#include "base/Text.hpp"

const std::string& argument(const std::vector<std::string>& args, std::size_t n) {
    if (n == 0 || n > args.size()) fail(FailureKind::ArgumentMissing);
    return args[n - 1];
}

MaybePath optionalArgument(const std::vector<std::string>& args, std::size_t n) {
    if (n == 0 || n > args.size()) return std::nullopt;
    return args[n - 1];
}

// Each step reads the register from its first line through a handle of its own,
// released when the step's generator returns, and appends to files that are
// opened at their first line and written out when the step ends. The register
// is read once for all steps (note [one reading]). Steps 4 and 5 append to the
// same family file. Arguments 4 and 5 are needed only when a line is to be written.
void run(const std::vector<std::string>& args, RegisterText& reg) {
    reg = openRegisterText(argument(args, 3));
    const std::string model = argumentText(argument(args, 1)); // note [argument bytes]
    // A second thread reads the register as step 1 takes its lines, then indexes it and
    // makes step 5's lines beside steps 1 to 4 (note [reading ahead], [expansions ahead]).
    ExpansionsAhead ahead(reg, appendFamilyLine, prepareFamilyLine);
    { // 1. Basic declarations file: one bdd variable per basic feature.
        OutputFile out(optionalArgument(args, 4));
        RegisterHandle h = readRegister(reg);
        populateBasicFile(h, out, 1, model);
        finishOutput(out);
    }
    ahead.registerRead(); // what step 1 read can be indexed now
    { // 2. Names file: the code of every basic feature under its variable number.
        OutputFile out("../working_dir/names.h");
        RegisterHandle h = readRegister(reg);
        populateNamesFile(h, out, 1);
        finishOutput(out);
    }
    { // 3. Configuration header: bit size, model and number of variables.
        OutputFile out("../working_dir/config.h");
        RegisterHandle h = readRegister(reg);
        populateConfigFile(h, out, 0, model, argumentText(argument(args, 2)));
        finishOutput(out);
    }
    { // 4. Family file, basic part: a family per basic feature.
        OutputFile out(optionalArgument(args, 5));
        RegisterHandle h = readRegister(reg);
        populateFamilyFileBasic(h, out);
        finishOutput(out);
    }
    { // 5. Family file, composite part: each composite's expanded expression.
        OutputFile out(optionalArgument(args, 5));
        RegisterHandle h = readRegister(reg);
        ExpansionContext expansion = expansionOf(reg);
        expansion.lookUps.index = ahead.index();
        populateFamilyFileComposite(h, out, expansion, &ahead);
        finishOutput(out);
    }
}

RegisterHandle loadRegister(const std::string& path) {
    return readRegister(path);
}

void createLoadingFile(const std::string& path) {
    OutputFile out(path, OutputFile::Truncate);
    appendText(out, " ");
    finishOutput(out);
}

void run(const std::vector<std::string>& args) {
    RegisterText reg;
    run(args, reg);
}

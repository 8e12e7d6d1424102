#include "generators/PrepareFamilyFile.hpp"

#include "expansion/ExtendedAssign.hpp"
#include "register/RegisterLine.hpp"
#include "register/Text.hpp"

void populateFamilyFileBasic(RegisterHandle& h, MaybePath outputPath) {
    OutputFile out(std::move(outputPath));
    while (!isEndOfRegister(h)) {
        std::string line = getALine(h);
        if (getRegisterLineType(line) != "0") continue;
        std::string_view code = getRegisterLineCode(line);
        std::string family = upperCase(code);
        appendLine(out, "FAMILY " + family + ";");
        appendLine(out, family + ".insert(" + std::string(code) + ");");
    }
    finishOutput(out);
}

void populateFamilyFileComposite(RegisterHandle& h, MaybePath outputPath,
                                 const std::string& registerPath) {
    OutputFile out(std::move(outputPath));
    RegisterLookUp lookUps{registerPath, {}};
    while (!isEndOfRegister(h)) {
        std::string line = getALine(h);
        std::string_view type = getRegisterLineType(line);
        if (type != "1" && type != "2") continue;
        std::string expression = extendedAssign(getRegisterLineFaExpr(line), lookUps);
        appendLine(out, "FAMILY " + upperCase(getRegisterLineCode(line)) + " =" + expression + ";");
    }
    finishOutput(out);
}

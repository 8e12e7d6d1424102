#include "generators/PrepareFamilyFile.hpp"

#include "expansion/ExtendedAssign.hpp"
#include "register/RegisterLine.hpp"
#include "register/Text.hpp"

void populateFamilyFileBasic(RegisterHandle& h, MaybePath outputPath) {
    OutputFile out(std::move(outputPath));
    std::string family, text, second;
    std::string line;
    while (!isEndOfRegister(h)) {
        getALine(h, line);
        if (getRegisterLineType(line) != "0") continue;
        std::string_view code = getRegisterLineCode(line);
        // Both lines are built before the first is appended.
        family.clear();
        appendUpperCase(family, code);
        text.assign("FAMILY ").append(family).push_back(';');
        second.assign(family).append(".insert(").append(code).append(");");
        appendLine(out, text);
        appendLine(out, second);
    }
    finishOutput(out);
}

void populateFamilyFileComposite(RegisterHandle& h, MaybePath outputPath,
                                 const std::string& registerPath) {
    OutputFile out(std::move(outputPath));
    ExpansionContext context{{registerPath, {}}, {}, {}, {}};
    std::string text;
    std::string line;
    while (!isEndOfRegister(h)) {
        getALine(h, line);
        std::string_view type = getRegisterLineType(line);
        if (type != "1" && type != "2") continue;
        std::string expression = extendedAssign(getRegisterLineFaExpr(line), context);
        text.assign("FAMILY ");
        appendUpperCase(text, getRegisterLineCode(line));
        text.append(" =").append(expression).push_back(';');
        appendLine(out, text);
    }
    finishOutput(out);
}

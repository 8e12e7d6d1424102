#include "generators/PrepareFamilyFile.hpp"

#include "base/Text.hpp"
#include "register/RegisterLine.hpp"

void populateFamilyFileBasic(RegisterHandle& h, LineSink& out) {
    std::string family, text, second;
    while (!isEndOfRegister(h)) {
        NumberedLine line = nextLine(h);
        if (getRegisterLineType(line) != "0") continue;
        std::string_view code = getRegisterLineCode(line);
        // Both lines are built before the first is appended.
        family.clear();
        appendUpperCase(family, code);
        text.assign("FAMILY ").append(family).push_back(';');
        second.assign(family).append(".insert(").append(code).append(");");
        out.appendLine(text);
        out.appendLine(second);
    }
}

void populateFamilyFileComposite(RegisterHandle& h, LineSink& out, ExpansionContext& context) {
    std::string text, expression;
    while (!isEndOfRegister(h)) {
        NumberedLine line = nextLine(h);
        std::string_view type = getRegisterLineType(line);
        if (type != "1" && type != "2") continue;
        std::string_view term = getRegisterLineFaExpr(line);
        expression.clear();
        extendedAssign(term, context, expression, placeOf(line, term));
        text.assign("FAMILY ");
        appendUpperCase(text, getRegisterLineCode(line));
        text.append(" =").append(expression).push_back(';');
        out.appendLine(text);
    }
}

void populateFamilyFileComposite(RegisterHandle& h, LineSink& out,
                                 const std::string& registerPath) {
    ExpansionContext context = expansionOf(registerPath);
    populateFamilyFileComposite(h, out, context);
}

#include "generators/PrepareFamilyFile.hpp"

#include "base/Text.hpp"
#include "register/RegisterLine.hpp"

void populateFamilyFileBasic(RegisterHandle& h, LineSink& out) {
    std::string family;
    while (std::optional<NumberedLine> line = nextLineOfType(h, LineType::Basic)) {
        std::string_view code = getRegisterLineCode(*line);
        // The family's name is made before the first line is appended.
        family.clear();
        appendUpperCase(family, code);
        out.appendPieces({"FAMILY ", family, ";"});
        out.appendPieces({family, ".insert(", code, ");"});
    }
}

void appendFamilyLine(NumberedLine line, ExpansionContext& context, std::string& text) {
    // The code cannot fail once the expression is found. The line is put together
    // around the expansion, and appended only when the expansion is done.
    std::string_view code, term;
    if (const std::optional<LeadingColumns> columns = leadingColumns(line.text)) {
        code = columns->code;
        term = columns->expression;
    } else {
        term = getRegisterLineFaExpr(line);
        code = getRegisterLineCode(line);
    }
    text.append("FAMILY ");
    appendUpperCase(text, code);
    text.append(" =");
    // A long expansion is written in place: room that is not used is only address space.
    if (term.size() > (std::size_t{1} << 20)) text.reserve(text.size() + 4 * term.size());
    extendedAssign(term, context, text, line);
    text.push_back(';');
}

void prepareFamilyLine(const NumberedLine& line, ExpansionContext& context) {
    if (const std::optional<LeadingColumns> columns = leadingColumns(line.text))
        return prepareTerm(columns->expression, context);
    Column term = findColumn(3, line.text); // what getRegisterLineFaExpr takes, when it can
    if (term.fault == ColumnFault::None) prepareTerm(term.text, context);
}

void populateFamilyFileComposite(RegisterHandle& h, LineSink& out, ExpansionContext& context,
                                 ExpansionsAhead* ahead) {
    std::string text;
    while (std::optional<NumberedLine> line = nextLineOfType(h, LineType::Composite)) {
        if (std::optional<std::string_view> made =
                ahead ? ahead->take(line->number) : std::nullopt) {
            out.appendLine(*made); // note [expansions ahead]
            continue;
        }
        // The next composite, when it is near, is prepared while this one is made.
        if (isReadToEnd(h.text()))
            if (std::optional<NumberedLine> next =
                    compositeAfter(h.text(), line->number, line->number + 64))
                prepareFamilyLine(*next, context);
        text.clear();
        appendFamilyLine(*line, context, text);
        out.appendLine(text);
        if (text.capacity() > (std::size_t{1} << 24))
            std::string().swap(text); // a giant line's storage
    }
}

void populateFamilyFileComposite(RegisterHandle& h, LineSink& out,
                                 const std::string& registerPath) {
    ExpansionContext context = expansionOf(registerPath);
    populateFamilyFileComposite(h, out, context);
}

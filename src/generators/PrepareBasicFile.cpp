#include "generators/PrepareBasicFile.hpp"

#include "base/Text.hpp"
#include "register/RegisterLine.hpp"

#include <string>

void populateBasicFile(RegisterHandle& h, LineSink& out, std::uint64_t first,
                       std::string_view model) {
    if (model != "0" && model != "1") fail(FailureKind::ModelRefused);
    const char* value = model == "0" ? " = bdd_ithvar(" : " = set2bag( bdd_ithvar(";
    const char* close = model == "0" ? ") ; // " : ")) ; // ";
    DecimalCounter index(first);
    while (std::optional<NumberedLine> line = nextLineOfType(h, LineType::Basic)) {
        // Both columns are read before the output path is needed.
        std::string_view code, desc;
        const std::optional<LeadingColumns> columns = leadingColumns(line->text);
        if (std::optional<std::string_view> d =
                columns ? leadingDescription(line->text, *columns) : std::nullopt) {
            code = columns->code;
            desc = *d;
        } else {
            code = getRegisterLineCode(*line);
            desc = getRegisterLineDesc(*line);
        }
        out.appendPieces({"bdd ", code, value, index.text(), close, desc});
        index.increment();
    }
}

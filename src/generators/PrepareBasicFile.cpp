#include "generators/PrepareBasicFile.hpp"

#include "register/RegisterLine.hpp"

#include <string>

void populateBasicFile(RegisterHandle& h, LineSink& out, std::uint64_t first,
                       std::string_view model) {
    if (model != "0" && model != "1") fail(FailureKind::ModelRefused);
    const char* value = model == "0" ? " = bdd_ithvar(" : " = set2bag( bdd_ithvar(";
    const char* close = model == "0" ? ") ; // " : ")) ; // ";
    std::uint64_t index = first;
    std::string text;
    while (std::optional<NumberedLine> line = nextLineOfType(h, LineType::Basic)) {
        // The whole line is built before the output path is needed.
        text.assign("bdd ");
        text.append(getRegisterLineCode(*line));
        text.append(value);
        text.append(std::to_string(index));
        text.append(close);
        text.append(getRegisterLineDesc(*line));
        out.appendLine(text);
        ++index;
    }
}

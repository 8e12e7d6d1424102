#include "generators/PrepareBasicFile.hpp"

#include "register/Failure.hpp"
#include "register/RegisterLine.hpp"

#include <string>

void populateBasicFile(RegisterHandle& h, MaybePath outputPath, std::uint64_t first,
                       std::string_view model) {
    const char* value;
    if (model == "0")
        value = " = bdd_ithvar(";
    else if (model == "1")
        value = " = set2bag( bdd_ithvar(";
    else
        fail("PrepareBasicFile:(20,1)-(31,159): Non-exhaustive patterns in function populateBasicFile");
    const char* close = model == "0" ? ") ; // " : ")) ; // ";

    OutputFile out(std::move(outputPath));
    std::uint64_t index = first;
    std::string text;
    std::string line;
    while (!isEndOfRegister(h)) {
        getALine(h, line);
        if (getRegisterLineType(line) != "0") continue;
        // The whole line is built before the output path is needed.
        text.assign("bdd ");
        text.append(getRegisterLineCode(line));
        text.append(value);
        text.append(std::to_string(index));
        text.append(close);
        text.append(getRegisterLineDesc(line));
        appendLine(out, text);
        ++index;
    }
    finishOutput(out);
}

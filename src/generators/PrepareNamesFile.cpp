#include "generators/PrepareNamesFile.hpp"

#include "register/RegisterLine.hpp"

#include <string>
#include <string_view>

namespace {

std::string entry(std::string_view index, std::string_view text) {
    std::string line = "names[";
    line.append(index).append("]=\"").append(text).append("\";");
    return line;
}

} // namespace

void populateNamesFile(RegisterHandle& h, MaybePath outputPath, std::uint64_t first) {
    OutputFile out(std::move(outputPath));
    std::uint64_t index = first;
    std::string line;
    while (!isEndOfRegister(h)) {
        getALine(h, line);
        if (getRegisterLineType(line) != "0") continue;
        appendLine(out, entry(std::to_string(index), getRegisterLineCode(line)));
        ++index;
    }
    appendLine(out, entry("0", "1"));
    finishOutput(out);
}

#include "generators/PrepareNamesFile.hpp"

#include "register/RegisterLine.hpp"

#include <string>
#include <string_view>

namespace {

void appendEntry(LineSink& out, std::string& line, std::string_view index, std::string_view text) {
    line.assign("names[").append(index).append("]=\"").append(text).append("\";");
    out.appendLine(line);
}

} // namespace

void populateNamesFile(RegisterHandle& h, LineSink& out, std::uint64_t first) {
    std::uint64_t index = first;
    std::string line;
    while (std::optional<NumberedLine> l = nextLineOfType(h, LineType::Basic)) {
        appendEntry(out, line, std::to_string(index), getRegisterLineCode(*l));
        ++index;
    }
    appendEntry(out, line, "0", "1");
}

#include "generators/PrepareNamesFile.hpp"

#include "base/Text.hpp"
#include "register/RegisterLine.hpp"

#include <string>
#include <string_view>

namespace {

void appendEntry(LineSink& out, std::string& line, std::string_view index, std::string_view text) {
    assignJoined(line, {"names[", index, "]=\"", text, "\";"});
    out.appendLine(line);
}

} // namespace

void populateNamesFile(RegisterHandle& h, LineSink& out, std::uint64_t first) {
    std::uint64_t index = first;
    std::string line;
    while (std::optional<NumberedLine> l = nextLineOfType(h, LineType::Basic)) {
        char digits[20];
        appendEntry(out, line, decimal(index, digits), getRegisterLineCode(*l));
        ++index;
    }
    appendEntry(out, line, "0", "1");
}

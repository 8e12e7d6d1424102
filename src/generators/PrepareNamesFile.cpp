#include "generators/PrepareNamesFile.hpp"

#include "base/Text.hpp"
#include "register/RegisterLine.hpp"

#include <string>
#include <string_view>

namespace {

void appendEntry(LineSink& out, std::string_view index, std::string_view text) {
    out.appendPieces({"names[", index, "]=\"", text, "\";"});
}

} // namespace

void populateNamesFile(RegisterHandle& h, LineSink& out, std::uint64_t first) {
    std::uint64_t index = first;
    while (std::optional<NumberedLine> l = nextLineOfType(h, LineType::Basic)) {
        char digits[20];
        appendEntry(out, decimal(index, digits), getRegisterLineCode(*l));
        ++index;
    }
    appendEntry(out, "0", "1");
}

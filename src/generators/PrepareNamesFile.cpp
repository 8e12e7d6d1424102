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
    DecimalCounter index(first);
    while (std::optional<NumberedLine> l = nextLineOfType(h, LineType::Basic)) {
        appendEntry(out, index.text(), getRegisterLineCode(*l));
        index.increment();
    }
    appendEntry(out, "0", "1");
}

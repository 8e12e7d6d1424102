#include "generators/PrepareConfigFile.hpp"

#include "register/RegisterLine.hpp"

#include <string>

void populateConfigFile(RegisterHandle& h, LineSink& out, std::uint64_t start,
                        std::string_view model, std::string_view occBitSize) {
    const std::uint64_t count = start + countLinesOfType(h, LineType::Basic);
    // The comments are part of the header users compile; their spelling stays.
    out.appendLine(std::string("const int occ_bitsize = ")
                       .append(occBitSize)
                       .append("; // The number of bits to encod occurances"));
    out.appendLine(std::string("int model = ")
                       .append(model)
                       .append("; // 0 for set, 1 for bag, others implemented later."));
    out.appendLine(std::string("int number_of_vars = ")
                       .append(occBitSize)
                       .append(" + ")
                       .append(std::to_string(count))
                       .append("; // the needed number of bdd variables"));
}

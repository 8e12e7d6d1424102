#include "generators/PrepareConfigFile.hpp"

#include "register/RegisterLine.hpp"

#include <string>

void populateConfigFile(RegisterHandle& h, MaybePath outputPath, std::uint64_t start,
                        std::string_view model, std::string_view occBitSize) {
    std::uint64_t count = start;
    std::string line;
    while (!isEndOfRegister(h)) {
        getALine(h, line);
        if (getRegisterLineType(line) == "0") ++count;
    }
    // The comments are part of the header users compile; their spelling stays.
    OutputFile out(std::move(outputPath));
    appendLine(out, std::string("const int occ_bitsize = ")
                        .append(occBitSize)
                        .append("; // The number of bits to encod occurances"));
    appendLine(out, std::string("int model = ")
                        .append(model)
                        .append("; // 0 for set, 1 for bag, others implemented later."));
    appendLine(out, std::string("int number_of_vars = ")
                        .append(occBitSize)
                        .append(" + ")
                        .append(std::to_string(count))
                        .append("; // the needed number of bdd variables"));
    finishOutput(out);
}

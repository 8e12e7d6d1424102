// Runs a fuzz target once over each file named on the command line (or found in
// a folder named there): the regression inputs and seeds, without libFuzzer.
#include "TestSupport.hpp"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::size_t count = 0;
    auto replay = [&](const std::filesystem::path& p) {
        std::string bytes = readFile(p.string());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    };
    for (int i = 1; i < argc; ++i) {
        if (std::filesystem::is_directory(argv[i])) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(argv[i]))
                if (e.is_regular_file()) replay(e.path());
        } else {
            replay(argv[i]);
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return 0;
}

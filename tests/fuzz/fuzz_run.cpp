// Fuzz target: a whole run. The input's first bytes choose the model, the number
// of arguments, the output paths and whether ../working_dir exists; the rest is
// the register. A failure of the run is a normal outcome; a crash, a sanitizer
// report, a hang or a change of the register is a finding.
#include "TestSupport.hpp"
#include "base/Failure.hpp"
#include "driver/Main.hpp"
#include "output/OutputFile.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folder every input runs in; removed when the fuzzer exits.
struct Root {
    fs::path dir;
    Root() {
        std::string pattern = (fs::temp_directory_path() / "fagen-fuzz-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
    }
    ~Root() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

const fs::path& root() {
    static const Root r;
    return r.dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::string reg(reinterpret_cast<const char*>(data) + 3, size - 3);
    const fs::path dir = root();
    fs::remove_all(dir / "run");
    fs::remove_all(dir / "working_dir");
    fs::create_directories(dir / "run");
    if ((data[2] & 4) == 0) fs::create_directories(dir / "working_dir");
    std::ofstream(dir / "run" / "reg.txt", std::ios::binary) << reg;

    static const char* models[] = {"0", "1", "2", ""};
    static const char* outputs[] = {"basic.h", "family.h", "reg.txt", "./reg.txt"};
    std::vector<std::string> args{models[data[0] & 3], "4", "reg.txt", outputs[(data[2] >> 4) & 3],
                                  (data[2] & 8) ? "basic.h" : "family.h"};
    args.resize(3 + data[1] % 3);

    fs::path previous = fs::current_path();
    fs::current_path(dir / "run");
    try {
        run(args);
    } catch (const Failure&) {
    }
    takeDeferredOutputFailure();
    fs::current_path(previous);
    if (readFile((dir / "run" / "reg.txt").string()) != reg)
        std::abort(); // the register is never written
    return 0;
}

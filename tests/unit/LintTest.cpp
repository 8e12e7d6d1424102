#include "lint/Checks.hpp"

#include "TestSupport.hpp"
#include "driver/Main.hpp"
#include "output/OutputFile.hpp"

#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

// A fagen run on the register in a fresh run/ beside working_dir/: did it fail?
bool runFails(const TempDir& dir, const std::string& content) {
    std::filesystem::remove_all(dir.path / "run");
    std::filesystem::remove_all(dir.path / "working_dir");
    std::filesystem::create_directories(dir.path / "run");
    std::filesystem::create_directories(dir.path / "working_dir");
    writeFile(dir.file("run/reg.txt"), content);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path / "run");
    std::string failure = failureOf([] { run({"0", "4", "reg.txt", "basic.h", "family.h"}); });
    takeDeferredOutputFailure();
    std::filesystem::current_path(previous);
    return !failure.empty();
}

bool hasError(const std::vector<Diagnostic>& ds) {
    for (const Diagnostic& d : ds)
        if (d.severity == Severity::Error) return true;
    return false;
}

// The checker reports an error exactly when a run stops, on registers made of
// the pieces that matter: duplicate codes, odd types, missing columns, lines
// without "(", empty lines, untranslatable and misplaced terms.
TEST(Lint, errorsExactlyWhenARunStops) {
    TempDir dir;
    const char* codes[] = {"a", "b", "k", "d", "x1", "A"};
    const char* types[] = {"0", "0", "1", "2", "3", " 0"};
    const char* words[] = {"+", ".", "a", "b", "k", "d", "x1", "0", "1", "2", "y"};
    std::mt19937 rng(2026);
    int failing = 0;
    for (int round = 0; round < 400; ++round) {
        std::string content;
        std::size_t lines = 1 + rng() % 6;
        for (std::size_t i = 0; i < lines; ++i) {
            switch (rng() % 16) {
            case 0:
                content += "\n";
                continue;
            case 1:
                content += "b,3,b,no parentheses\n";
                continue;
            case 2:
                content += std::string("(") + codes[rng() % 6] + ",0)\n";
                continue;
            case 3:
                content += std::string("(") + codes[rng() % 6] + ",1)\n";
                continue;
            default:
                break;
            }
            std::string expr;
            std::size_t n = rng() % 6;
            for (std::size_t k = 0; k < n; ++k)
                expr += (k ? (rng() % 10 ? " " : "  ") : "") + std::string(words[rng() % 11]);
            content +=
                std::string("(") + codes[rng() % 6] + "," + types[rng() % 6] + "," + expr + ",d)\n";
        }
        bool fails = runFails(dir, content);
        failing += fails;
        std::vector<Diagnostic> ds = lintRegister(openRegisterText(dir.file("run/reg.txt")));
        std::string shown;
        for (const Diagnostic& d : ds)
            shown += formatDiagnostic("reg", d) + "\n";
        ASSERT_EQ(hasError(ds), fails) << content << "----\n" << shown;
    }
    EXPECT_GT(failing, 50);
    EXPECT_LT(failing, 350);
}

} // namespace

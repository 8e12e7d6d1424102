#include "lint/Checks.hpp"

#include "TestSupport.hpp"
#include "base/Text.hpp"
#include "driver/Main.hpp"
#include "output/OutputFile.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

// A fagen run on the register in a fresh run/ beside working_dir/: its failure.
std::optional<Failure> runFailure(const TempDir& dir, const std::string& content) {
    std::filesystem::remove_all(dir.path / "run");
    std::filesystem::remove_all(dir.path / "working_dir");
    std::filesystem::create_directories(dir.path / "run");
    std::filesystem::create_directories(dir.path / "working_dir");
    writeFile(dir.file("run/reg.txt"), content);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path / "run");
    std::optional<Failure> failure = failureIn([] {
        run({"0", "4", "reg.txt", "basic.h", "family.h"});
    });
    takeDeferredOutputFailure();
    std::filesystem::current_path(previous);
    return failure;
}

bool hasError(const std::vector<Diagnostic>& ds) {
    for (const Diagnostic& d : ds)
        if (d.severity == Severity::Error) return true;
    return false;
}

// The checker reports an error exactly when a run stops, on registers made of
// the pieces that matter: duplicate codes, odd types, missing columns, lines
// without "(", empty lines, untranslatable and misplaced terms. The place where
// the run stops has an error of its own, and every error points into its line.
TEST(Lint, errorsExactlyWhenARunStops) {
    TempDir dir;
    const char* codes[] = {"a", "b", "k", "d", "x1", "A", "+ a b", "\xc3\xa9"};
    const char* types[] = {"0", "0", "1", "2", "3", " 0"};
    const char* words[] = {"+", ".", "a", "b", "k",  "d",  "x1",
                           "0", "1", "2", "y", "+0", "\t", "\xc3\xa9"};
    std::mt19937 rng(2026);
    int failing = 0;
    for (int round = 0; round < 600; ++round) {
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
                content += std::string("(") + codes[rng() % 8] + ",0)\n";
                continue;
            case 3:
                content +=
                    std::string("(") + codes[rng() % 8] + (rng() % 2 ? ",1)\n" : ",1,,x\xff)\n");
                continue;
            default:
                break;
            }
            std::string expr;
            std::size_t n = rng() % 6;
            for (std::size_t k = 0; k < n; ++k)
                expr += (k ? (rng() % 10 ? " " : "  ") : "") + std::string(words[rng() % 14]);
            content +=
                std::string("(") + codes[rng() % 8] + "," + types[rng() % 6] + "," + expr + ",d)\n";
        }
        std::optional<Failure> stop = runFailure(dir, content);
        failing += stop.has_value();
        RegisterText text = openRegisterText(dir.file("run/reg.txt"));
        std::vector<Diagnostic> ds = lintRegister(text);
        std::string shown;
        for (const Diagnostic& d : ds)
            shown += formatDiagnostic("reg", d) + "\n";
        ASSERT_EQ(hasError(ds), stop.has_value()) << content << "----\n" << shown;
        if (stop && stop->place.line != 0) {
            bool there = std::any_of(ds.begin(), ds.end(), [&](const Diagnostic& d) {
                return d.severity == Severity::Error && d.line == stop->place.line &&
                       d.column == std::max<std::uint64_t>(stop->place.column, 1);
            });
            ASSERT_TRUE(there) << stop->message << " at " << stop->place.line << ":"
                               << stop->place.column << " in\n"
                               << content << "----\n"
                               << shown;
        }
        for (const Diagnostic& d : ds) {
            std::optional<NumberedLine> line = lineAt(text, d.line);
            ASSERT_TRUE(line) << shown;
            ASSERT_LE(d.column, countChars(line->text) + 1) << content << "----\n" << shown;
        }
    }
    EXPECT_GT(failing, 60);
    EXPECT_LT(failing, 570);
}

// C++ keywords as codes, at the edges of the quick tests before the keyword
// table (first letter and length, first two letters): each is warned of, and
// no near miss is.
TEST(Lint, keywordCodesAtTheEdges) {
    const struct {
        const char* code;
        bool keyword;
    } rows[] = {{"do", true},
                {"int", true},
                {"char8_t", true},
                {"char16_t", true},
                {"static_assert", true},
                {"reinterpret_cast", true},
                {"xor_eq", true},
                {"co_await", true},
                {"friend", true},
                {"f12345", false},
                {"iNt", false},
                {"d", false},
                {"done", false},
                {"integer", false},
                {"char64_t", false},
                {"reinterpret_casts", false},
                {"Int", false},
                {"_int", false}};
    for (const auto& r : rows) {
        const std::string code = r.code;
        RegisterText text = registerTextOf("(" + code + ",0," + code + ",x)\n");
        bool warned = false;
        for (const Diagnostic& d : lintRegister(text))
            warned = warned || d.text.find("is a C++ keyword") != std::string::npos;
        EXPECT_EQ(warned, r.keyword) << code;
    }
}

// Regression: the checker crashed on a composite whose expression runs past a
// mebibyte, where the term reader hands its memory back between lines.
TEST(Lint, aCompositeOverAMebibyteIsChecked) {
    TempDir dir;
    writeFile(dir.file("reg.txt"),
              "(a,0,a,x)\n(k,1,+ a a" + std::string(std::size_t{1} << 20, ' ') + ",y)\n");
    RegisterText text = openRegisterText(dir.file("reg.txt"));
    EXPECT_TRUE(lintRegister(text).empty());
}

} // namespace

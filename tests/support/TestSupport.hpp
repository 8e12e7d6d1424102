#pragma once
// Helpers for the tests: a fresh folder per test, whole-file reads and writes,
// registers and line sinks in memory, and the outcome of a call that may fail.
#include "base/Failure.hpp"
#include "output/OutputFile.hpp"
#include "register/Register.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// The messages users see, written out here so that a change to them fails a test.
namespace msg {
inline constexpr const char* headOfEmpty = "Prelude.head: empty list";
inline constexpr const char* tailOfEmpty = "Prelude.tail: empty list";
inline constexpr const char* indexTooLarge = "Prelude.(!!): index too large";
inline constexpr const char* columnPattern =
    "RegisterLine:(24,1)-(32,49): Non-exhaustive patterns in function getColumn";
inline constexpr const char* evalPattern =
    "Eval:(8,1)-(12,92): Non-exhaustive patterns in function eval";
inline constexpr const char* modelRefused =
    "PrepareBasicFile:(20,1)-(31,159): Non-exhaustive patterns in function populateBasicFile";
} // namespace msg

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fagen-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The failure f ends with, if any.
template <class F> std::optional<Failure> failureIn(F f) {
    try {
        f();
    } catch (const Failure& e) {
        return e;
    }
    return std::nullopt;
}

// "" when f returns normally, else the message it fails with.
template <class F> std::string failureOf(F f) {
    std::optional<Failure> e = failureIn(f);
    return e ? e->message : "";
}

// The text f returns, or the message it fails with.
template <class F> std::string outcome(F f) {
    std::string got;
    std::optional<Failure> e = failureIn([&] { got = f(); });
    return e ? e->message : got;
}

// A generator's lines, kept in memory.
struct LineVector final : LineSink {
    std::vector<std::string> lines;
    void appendLine(std::string_view text) override { lines.emplace_back(text); }
};

// Every line of out, each followed by a line feed, as a file would hold them.
inline std::string joined(const LineVector& out) {
    std::string text;
    for (const std::string& l : out.lines)
        text += l + "\n";
    return text;
}

#pragma once
// Helpers for unit tests: a fresh folder per test, whole-file reads and writes,
// and the message of the failure a call ends with.
#include "register/Failure.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fagen-test-XXXXXX").string();
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

// "" when f returns normally, else the message it fails with.
template <class F> std::string failureOf(F f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.message;
    }
    return "";
}

inline constexpr const char* columnPattern =
    "RegisterLine:(24,1)-(32,49): Non-exhaustive patterns in function getColumn";
inline constexpr const char* evalPattern = "Eval:(8,1)-(12,92): Non-exhaustive patterns in function eval";

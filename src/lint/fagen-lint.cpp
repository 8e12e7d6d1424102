// fagen-lint: checks registers for what stops fagen and what it probably misreads.
#include "base/Failure.hpp"
#include "base/Text.hpp"
#include "lint/Lint.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void print(std::FILE* to, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), to);
}

} // namespace

int main(int argc, char** argv) {
    initTextEncoding();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    bool dot = !args.empty() && args.front() == "--dot";
    if (dot) args.erase(args.begin());
    if (args.empty()) {
        print(stderr, "usage: " + programName(argc, argv, "fagen-lint") + " [--dot] REGISTER...\n");
        return 2;
    }
    int status = 0;
    for (const std::string& path : args) {
        try {
            if (dot) {
                print(stdout, registerGraph(path));
                continue;
            }
            std::string text;
            for (const Diagnostic& d : lintRegister(path)) {
                text += formatDiagnostic(path, d) + "\n";
                if (d.error && status == 0) status = 1;
            }
            print(stdout, text);
        } catch (const Failure& f) {
            print(stderr, programName(argc, argv, "fagen-lint") + ": " + f.message + "\n");
            status = 2;
        }
    }
    return status;
}

// fagen-lint: checks registers for what stops fagen and what it probably misreads.
#include "base/Failure.hpp"
#include "base/FileDescriptor.hpp"
#include "base/Text.hpp"
#include "lint/Checks.hpp"
#include "lint/Graph.hpp"

#include <cerrno>
#include <csignal>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef FAGEN_VERSION
#define FAGEN_VERSION "unknown"
#endif

namespace {

const char* const usage = "usage: fagen-lint [--werror] [--dot] [--] REGISTER...\n";

const char* const help =
    "Checks feature registers before fagen runs on them: every place where a run\n"
    "would stop (errors), what a run accepts but probably was not meant (warnings),\n"
    "and what an error causes (notes), as PATH:LINE:COLUMN: SEVERITY: TEXT.\n"
    "\n"
    "  --werror    warnings count as errors\n"
    "  --dot       print each register's reference graph in Graphviz's DOT language\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n"
    "  --          end of options; what follows are registers\n"
    "\n"
    "REGISTER may be - for standard input. Exit status: 0 without errors, 1 with\n"
    "errors, 2 when a register cannot be read, on a wrong option, or when the\n"
    "report cannot be written.\n";

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a closed reader is a write error, reported
    initTextEncoding();
    const std::string self = programName(argc, argv, "fagen-lint");
    auto complain = [&](const std::string& message) {
        std::string line;
        appendShown(line, textOfBytes(self + ": " + message)); // paths and options, escaped
        writeAll(2, shownInLocale(line + "\n"));
    };
    bool dot = false, werror = false, options = true;
    std::vector<std::string> registers;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "--version")) {
            int err = writeAll(1, a == "--help" ? std::string(usage) + help
                                                : "fagen-lint " FAGEN_VERSION "\n");
            if (err) complain(fileErrorMessage(FileOperation::PutStr, "standard output", err));
            return err ? 2 : 0;
        } else if (options && a == "--dot") {
            dot = true;
        } else if (options && a == "--werror") {
            werror = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            complain("unknown option «" + a + "»");
            writeAll(2, usage);
            return 2;
        } else {
            registers.push_back(a);
        }
    }
    if (registers.empty()) {
        writeAll(2, usage);
        return 2;
    }
    int status = 0;
    for (const std::string& path : registers) {
        std::string report;
        try {
            RegisterText text =
                path == "-" ? openRegisterText("/dev/stdin", "-") : openRegisterText(path);
            if (dot) {
                report = shownInLocale(registerGraph(text));
            } else {
                for (const Diagnostic& d : lintRegister(text)) {
                    report += shownInLocale(formatDiagnostic(path, d) + "\n");
                    if (d.severity == Severity::Error ||
                        (werror && d.severity == Severity::Warning))
                        status = std::max(status, 1);
                }
            }
        } catch (const Failure& f) {
            complain(f.message);
            status = 2;
        } catch (const std::bad_alloc&) {
            complain(makeFailure(FailureKind::OutOfMemory).message);
            status = 2;
        }
        if (int err = writeAll(1, report)) {
            complain(fileErrorMessage(FileOperation::PutStr, "standard output", err));
            return 2;
        }
    }
    return status;
}

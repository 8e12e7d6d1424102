// fagen: turns a feature register into the C++ fragments of a product family.
#include "base/Failure.hpp"
#include "base/FileDescriptor.hpp"
#include "base/Text.hpp"
#include "driver/Main.hpp"
#include "explain/Explain.hpp"

#include <csignal>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef FAGEN_VERSION
#define FAGEN_VERSION "unknown"
#endif

namespace {

const char* const help =
    "Appends the C++ fragments of a product family, read from a register of\n"
    "features, to BASICFILE, ../working_dir/names.h, ../working_dir/config.h and\n"
    "FAMILYFILE.\n"
    "\n"
    "  MODEL      0 for the set model, 1 for the bag model\n"
    "  BITSIZE    the occurrence bit size, written as given into config.h\n"
    "  REGISTER   the register: one (code,type,expression,description) a line\n"
    "\n"
    "A run prints nothing and exits with 0, or stops at the first problem with one\n"
    "line on standard error and exits with 1. fagen-lint REGISTER shows every\n"
    "problem of a register, with its line and column. See fagen(1).\n";

std::string usage(const std::string& self) {
    return "usage: " + self + " MODEL BITSIZE REGISTER BASICFILE FAMILYFILE\n";
}

// The error line; on a terminal, one more line that explains the failure where
// the register caused it, or the usage for a command line that lacks something.
int report(const std::string& self, const std::string& message, const Failure* f,
           const RegisterText& reg) {
    std::string text = self + ": " + message + "\n";
    if (f && ::isatty(2)) {
        if (f->kind == FailureKind::ArgumentMissing || f->kind == FailureKind::ModelRefused) {
            text += usage(self);
        } else if (f->place.line != 0 && reg.content) {
            std::string why = explainRunFailure(*f, reg);
            std::string path;
            appendShown(path, textOfBytes(registerPath(reg)));
            if (!why.empty())
                text +=
                    shownInLocale(self + ": note: " + path + ":" + std::to_string(f->place.line) +
                                  ":" + std::to_string(f->place.column) + ": " + why + "\n");
        }
    }
    writeAll(2, text);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a closed reader is a write error, not a kill
    installOutputGuarantee();
    initTextEncoding();
    const std::string self = programName(argc, argv, "fagen");
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version")) {
        if (int err =
                writeAll(1, args[0] == "--help" ? usage(self) + help : "fagen " FAGEN_VERSION "\n"))
            return report(self, fileErrorMessage(FileOperation::PutStr, "standard output", err),
                          nullptr, RegisterText{});
        return 0;
    }
    RegisterText reg;
    try {
        run(args, reg);
        return 0;
    } catch (const Failure& f) {
        std::optional<std::string> deferred = takeDeferredOutputFailure();
        return report(self, deferred.value_or(f.message), deferred ? nullptr : &f, reg);
    } catch (const std::bad_alloc&) {
        return report(
            self,
            takeDeferredOutputFailure().value_or(makeFailure(FailureKind::OutOfMemory).message),
            nullptr, reg);
    }
}

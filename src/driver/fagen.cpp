// fagen: turns a feature register into the C++ fragments of a product family.
#include "base/Failure.hpp"
#include "base/Text.hpp"
#include "driver/Main.hpp"

#include <csignal>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int report(int argc, char** argv, const std::string& message) {
    std::string line = programName(argc, argv, "fagen") + ": " + message + "\n";
    for (std::size_t done = 0; done < line.size();) {
        ssize_t n = ::write(2, line.data() + done, line.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a closed reader is a write error, not a kill
    installInterruptFlush();
    initTextEncoding();
    try {
        run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
        return 0;
    } catch (const Failure& f) {
        return report(argc, argv, takeDeferredOutputFailure().value_or(f.message));
    } catch (const std::bad_alloc&) {
        return report(argc, argv, takeDeferredOutputFailure().value_or("out of memory"));
    }
}

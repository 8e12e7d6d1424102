#include "base/SecondThread.hpp"

#include <csignal>
#include <cstdlib>
#include <sched.h>
#include <string_view>
#include <sys/resource.h>
#include <system_error>

namespace {

// A run whose memory is limited (ulimit -v or -d) keeps to one thread: the
// second thread's stack, its allocator's arena and what it holds would take
// room the run may need, and a run that one thread finishes would stop for
// want of memory.
bool oneThreadWanted() {
    const char* threads = std::getenv("FAGEN_THREADS");
    if (threads != nullptr && std::string_view(threads) == "1") return true;
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return true;
    }
    cpu_set_t cpus;
    return ::sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) < 2;
}

} // namespace

std::jthread secondThread(std::function<void()> work) {
    std::jthread thread;
    if (oneThreadWanted()) return thread;
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old); // the new thread keeps them blocked
    try {
        thread = std::jthread(std::move(work));
    } catch (const std::system_error&) {
        // One thread, then.
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return thread;
}

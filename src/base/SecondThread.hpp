#pragma once
// The run's second thread: work that goes on beside the thread that writes.
#include <functional>
#include <thread>

// Starts work on a second thread with every signal blocked, so that handlers
// run on the thread that writes. Not joinable, and the caller does the work
// itself, when none can be started or one thread is wanted: FAGEN_THREADS=1,
// a limit on memory (RLIMIT_AS, RLIMIT_DATA), or a single processor allowed.
std::jthread secondThread(std::function<void()> work);

// The term readers on chains of 10^3 to 10^6 operators, right-nested
// («+ a + a ... a») and left-nested («. . ... a a ... a»). As in a run, the
// term's workspace is reused from call to call; the *Fresh variant goes through
// the text API, which allocates it anew every time.
#include "terms/Eval.hpp"
#include "terms/TermAnalysis.hpp"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string rightNested(std::size_t depth, const char* leaf) {
    std::string t;
    for (std::size_t i = 0; i < depth; ++i)
        t.append("+ ").append(leaf).append(" ");
    return t.append(leaf);
}

std::string leftNested(std::size_t depth, const char* leaf) {
    std::string t;
    for (std::size_t i = 0; i < depth; ++i)
        t.append(". ");
    t.append(leaf);
    for (std::size_t i = 0; i < depth; ++i)
        t.append(" ").append(leaf);
    return t;
}

using Maker = std::string (*)(std::size_t, const char*);

template <class F> void run(benchmark::State& state, Maker make, const char* leaf, F f) {
    std::string t = make(static_cast<std::size_t>(state.range(0)), leaf);
    TermGraph g;
    std::string out;
    for (auto _ : state) {
        readTerm(t, g);
        out.clear();
        f(g, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * t.size()));
}

void take(TermGraph& g, std::string& out) {
    out = renderTerm(g, takeTermAt(g, 0));
}
void right(TermGraph& g, std::string& out) {
    out = renderTerm(g, rightTermOf(g));
}
void translate(TermGraph& g, std::string& out) {
    evalText(g, out);
}

void takeTermRight(benchmark::State& s) {
    run(s, rightNested, "a", take);
}
void takeTermLeft(benchmark::State& s) {
    run(s, leftNested, "a", take);
}
void getRightTermRight(benchmark::State& s) {
    run(s, rightNested, "a", right);
}
void getRightTermLeft(benchmark::State& s) {
    run(s, leftNested, "a", right);
}
void evalRight(benchmark::State& s) {
    run(s, rightNested, "1", translate);
}
void evalLeft(benchmark::State& s) {
    run(s, leftNested, "0", translate);
}

void takeTermRightFresh(benchmark::State& state) {
    std::string t = rightNested(static_cast<std::size_t>(state.range(0)), "a");
    for (auto _ : state)
        benchmark::DoNotOptimize(takeTerm(t));
    state.SetComplexityN(state.range(0));
}

} // namespace

#define SIZES                                                                                      \
    RangeMultiplier(10)                                                                            \
        ->Range(1000, 1000000)                                                                     \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Complexity(benchmark::oN)
BENCHMARK(takeTermRight)->SIZES;
BENCHMARK(takeTermLeft)->SIZES;
BENCHMARK(getRightTermRight)->SIZES;
BENCHMARK(getRightTermLeft)->SIZES;
BENCHMARK(evalRight)->SIZES;
BENCHMARK(evalLeft)->SIZES;
BENCHMARK(takeTermRightFresh)->SIZES;
BENCHMARK_MAIN();

// The term readers on chains of 10^3 to 10^6 operators, right-nested
// («+ a + a ... a») and left-nested («. . ... a a ... a»).
#include "terms/Eval.hpp"
#include "terms/TermAnalysis.hpp"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string rightNested(std::size_t depth, const char* leaf) {
    std::string t;
    for (std::size_t i = 0; i < depth; ++i) t += std::string("+ ") + leaf + " ";
    return t + leaf;
}

std::string leftNested(std::size_t depth, const char* leaf) {
    std::string t;
    for (std::size_t i = 0; i < depth; ++i) t += ". ";
    t += leaf;
    for (std::size_t i = 0; i < depth; ++i) t += std::string(" ") + leaf;
    return t;
}

template <class F> void run(benchmark::State& state, std::string (*make)(std::size_t, const char*), const char* leaf, F f) {
    std::string t = make(static_cast<std::size_t>(state.range(0)), leaf);
    for (auto _ : state) benchmark::DoNotOptimize(f(t));
    state.SetComplexityN(state.range(0));
}

void takeTermRight(benchmark::State& s) { run(s, rightNested, "a", [](const std::string& t) { return takeTerm(t); }); }
void takeTermLeft(benchmark::State& s) { run(s, leftNested, "a", [](const std::string& t) { return takeTerm(t); }); }
void getRightTermRight(benchmark::State& s) { run(s, rightNested, "a", [](const std::string& t) { return getRightTerm(t); }); }
void getRightTermLeft(benchmark::State& s) { run(s, leftNested, "a", [](const std::string& t) { return getRightTerm(t); }); }
void evalRight(benchmark::State& s) { run(s, rightNested, "1", [](const std::string& t) { return eval(t); }); }
void evalLeft(benchmark::State& s) { run(s, leftNested, "0", [](const std::string& t) { return eval(t); }); }

} // namespace

#define SIZES RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)
BENCHMARK(takeTermRight)->SIZES;
BENCHMARK(takeTermLeft)->SIZES;
BENCHMARK(getRightTermRight)->SIZES;
BENCHMARK(getRightTermLeft)->SIZES;
BENCHMARK(evalRight)->SIZES;
BENCHMARK(evalLeft)->SIZES;
BENCHMARK_MAIN();

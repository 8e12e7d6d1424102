#include "generators/PrepareBasicFile.hpp"
#include "generators/PrepareConfigFile.hpp"
#include "generators/PrepareFamilyFile.hpp"
#include "generators/PrepareNamesFile.hpp"

#include "TestSupport.hpp"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <thread>

namespace {

using Generator = std::function<void(RegisterHandle&, LineSink&, const RegisterText&)>;

Generator basic(std::uint64_t first, const char* model) {
    return [=](RegisterHandle& h, LineSink& out, const RegisterText&) {
        populateBasicFile(h, out, first, model);
    };
}
Generator names(std::uint64_t first) {
    return [=](RegisterHandle& h, LineSink& out, const RegisterText&) {
        populateNamesFile(h, out, first);
    };
}
Generator config(std::uint64_t start, const char* model, const char* bits) {
    return [=](RegisterHandle& h, LineSink& out, const RegisterText&) {
        populateConfigFile(h, out, start, model, bits);
    };
}
Generator familyBasic() {
    return [](RegisterHandle& h, LineSink& out, const RegisterText&) {
        populateFamilyFileBasic(h, out);
    };
}
Generator familyComposite() {
    return [](RegisterHandle& h, LineSink& out, const RegisterText& text) {
        ExpansionContext context = expansionOf(text);
        populateFamilyFileComposite(h, out, context);
    };
}

// Every line a generator appends, then "stop: " and the message it fails with.
std::string generated(const Generator& g, const std::string& reg) {
    RegisterText text = registerTextOf(reg, "reg");
    RegisterHandle h = readRegister(text);
    LineVector out;
    std::string failure = failureOf([&] { g(h, out, text); });
    return joined(out) + (failure.empty() ? "" : "stop: " + failure);
}

const std::string stop = "stop: ";

const char* const worked =
    "(a,0,a,first)\n(k,1,+ a b,either)\n(Motor,0,Motor,motor)\n(d,3,d,other)\n"
    "(b,0,b,second)\n(m,2,. k a,both)\n";

// Register text in, exact lines (and the exact failure) out. Lines appended
// before a failure stay; the numbering counts basic features only.
TEST(Generators, table) {
    const struct {
        const char* what;
        Generator generator;
        const char* reg;
        std::string want;
    } rows[] = {
        {"set model, numbered from first", basic(5, "0"),
         "(A,0,A,a)\n(K,1,A,k)\n(B,0,B,,)\n(L,2,A,l)\n(C,0,C,c)\n(D,00,D,d)\n( E,0,E,e)\n",
         "bdd A = bdd_ithvar(5) ; // a\nbdd B = bdd_ithvar(6) ; // \nbdd C = bdd_ithvar(7) ; // c\n"
         "bdd  E = bdd_ithvar(8) ; // e\n"},
        {"bag model", basic(1, "1"), "(A,0,A,a)\n(B,2,A,b)\n(C,0,C,c c)",
         "bdd A = set2bag( bdd_ithvar(1)) ; // a\nbdd C = set2bag( bdd_ithvar(2)) ; // c c\n"},
        {"model 2 before any line", basic(1, "2"), "\n", stop + msg::modelRefused},
        {"model 01", basic(1, "01"), "", stop + msg::modelRefused},
        {"empty model", basic(1, ""), "(A,0,A,a)\n", stop + msg::modelRefused},
        {"model with a blank", basic(1, " 0"), "(A,0,A,a)\n", stop + msg::modelRefused},
        {"no description", basic(1, "0"), "(A,0,A,a)\n(B,0)\n(C,0,C,c)\n",
         "bdd A = bdd_ithvar(1) ; // a\n" + stop + msg::tailOfEmpty},
        {"empty last line", basic(1, "0"), "(A,0,A,a)\n\n",
         "bdd A = bdd_ithvar(1) ; // a\n" + stop + msg::columnPattern},
        {"codes and quotes verbatim", names(7), "(A,0)\n(K,1,x,y)\n(\"q\\,0,x,y)\n",
         "names[7]=\"A\";\nnames[8]=\"\"q\\\";\nnames[0]=\"1\";\n"},
        {"no closing entry after a failure", names(1), "(A,0,A,a)\n\n",
         "names[1]=\"A\";\n" + stop + msg::columnPattern},
        {"only the closing entry", names(1), "", "names[0]=\"1\";\n"},
        {"count from the start", config(3, "2", ""), "(A,0)\n(B,1)\n(C,0,x,y)\n",
         "const int occ_bitsize = ; // The number of bits to encod occurances\n"
         "int model = 2; // 0 for set, 1 for bag, others implemented later.\n"
         "int number_of_vars =  + 5; // the needed number of bdd variables\n"},
        {"types compared exactly", config(0, "1", "4"), "(A, 0)\n(B,0 )\n(C,00)\n",
         "const int occ_bitsize = 4; // The number of bits to encod occurances\n"
         "int model = 1; // 0 for set, 1 for bag, others implemented later.\n"
         "int number_of_vars = 4 + 0; // the needed number of bdd variables\n"},
        {"no header line before a failure", config(0, "0", "4"), "(A,0)\n\n(B,0)\n",
         stop + msg::columnPattern},
        {"family: basic part", familyBasic(), worked,
         "FAMILY A;\nA.insert(a);\nFAMILY MOTOR;\nMOTOR.insert(Motor);\nFAMILY B;\nB.insert(b);\n"},
        {"family: composite part", familyComposite(), worked,
         "FAMILY K =PLUS(A, B);\nFAMILY M =DOT(K, A);\n"},
        {"family: no features, no lines", familyBasic(), "(A,3,A,a)\n(B, 1,B,b)\n", ""},
        {"family: other types skipped", familyComposite(), "(A,3,A,a)\n(B, 1,B,b)\n(C,12,+,c)\n",
         ""},
        {"family: a stop keeps the lines above", familyComposite(),
         "(a,0,a,x)\n(k,1,+ a a,x)\n(m,2,+ a zz,x)\n(n,1,a,x)\n",
         "FAMILY K =PLUS(A, A);\n" + stop + msg::tailOfEmpty},
        {"family: composite without expression", familyComposite(), "(a,0,a,x)\n(k,1)\n",
         stop + msg::tailOfEmpty},
    };
    for (const auto& r : rows)
        EXPECT_EQ(generated(r.generator, r.reg), r.want) << r.what;
}

// A second thread that makes its lines slowly: the run meets chunks it is still
// making, and makes the chunks after them aside, failures included.
std::thread::id runThread;
void slowlyAhead(NumberedLine line, ExpansionContext& context, std::string& out) {
    if (std::this_thread::get_id() != runThread)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    appendFamilyLine(line, context, out);
}

// Preparing that fails every other time (out of memory, say): a hint that
// changes nothing.
void preparesOrFails(const NumberedLine& line, ExpansionContext& context) {
    static thread_local unsigned calls = 0;
    if (++calls % 2 == 0) throw std::bad_alloc();
    prepareFamilyLine(line, context);
}

// Step 5 with that second thread, into out: the failure it stops with; then
// `after` looks at what is made ahead.
template <class After>
std::string compositesAhead(const std::string& reg, LineSink& out, After after) {
    runThread = std::this_thread::get_id();
    RegisterText text = registerTextOf(reg, "reg");
    ExpansionsAhead ahead(text, slowlyAhead, preparesOrFails);
    RegisterHandle h = readRegister(text);
    ahead.registerRead();
    ExpansionContext context = expansionOf(text);
    context.lookUps.index = ahead.index();
    std::string failure = failureOf([&] { populateFamilyFileComposite(h, out, context, &ahead); });
    after(ahead);
    return failure;
}

std::string generatedAhead(const std::string& reg) {
    LineVector out;
    std::string failure = compositesAhead(reg, out, [](ExpansionsAhead&) {});
    return joined(out) + (failure.empty() ? "" : "stop: " + failure);
}

TEST(Generators, compositesMadeAsideAgreeWithOneThread) {
    std::string base = "(b1,0,b1,x)\n(b2,0,b2,y)\n";
    for (int i = 3; i <= 12000; ++i)
        base += "(k" + std::to_string(i) + ",1,+ b1 . b2 b1,z)\n";
    const struct {
        const char* what;
        const char* line; // in place of line 9000, in a chunk the run makes aside
    } rows[] = {
        {"nothing wrong", nullptr},
        {"a code no feature has", "(k9000,1,+ b1 gone,z)"},
        {"an atom without translation", "(k9000,1,+ b1 2,z)"},
        {"no type column", "(k9000)"},
    };
    for (const auto& r : rows) {
        std::string reg = base;
        if (r.line) {
            std::size_t at = reg.find("(k9000,");
            reg.replace(at, reg.find('\n', at) - at, r.line);
        }
        EXPECT_EQ(generatedAhead(reg), generated(familyComposite(), reg)) << r.what;
    }
}

// Regressions: a chunk without composites took kept storage when it was
// claimed, and held it to the end, since the run never enters such a chunk:
// with composite chunks between empty ones, tens of MiB beyond the bound ahead.
// And each ring slot kept the storage of its last chunk, so the chunks of step
// 5 went through fresh memory slot by slot, and a run ended holding a slot's
// worth for each chunk it had made (4 MB in the second row).
TEST(Generators, chunksHoldLittleStorage) {
    std::string expr;
    for (int i = 0; i < 3000; ++i)
        expr += "+ f1 ";
    expr += "f2";
    const struct {
        const char* what;
        std::uint64_t chunks;
        bool everyLine;       // a composite on every line, or 8 long ones in every other chunk
        std::size_t lines;    // made
        std::size_t mostHeld; // at the end
    } rows[] = {
        // At most eight spare storages and the chunk the run is in, about 0.5 MB
        // each here; how many depends on which thread made which chunk.
        {"chunks without composites between", 120, false, 60 * 8, std::size_t{8} << 20},
        {"a composite on every line", 64, true, 64 * 1024 - 2, std::size_t{1} << 20},
    };
    for (const auto& r : rows) {
        std::string reg;
        for (std::uint64_t id = 0; id < r.chunks; ++id) {
            for (std::uint64_t j = 0; j < 1024; ++j) {
                const std::string n = std::to_string(id * 1024 + j + 1);
                if (r.everyLine)
                    reg += id == 0 && j < 2 ? "(f" + n + ",0,f" + n + ",b)\n"
                                            : "(k" + n + ",1,+ f1 . f2 f1,c)\n";
                else
                    reg += id % 2 == 0 && j % 128 == 64 ? "(k" + n + ",1," + expr + ",c)\n"
                                                        : "(f" + n + ",0,f" + n + ",b)\n";
            }
        }
        struct Discard final : LineSink {
            std::size_t lines = 0;
            void appendLine(std::string_view) override { ++lines; }
        } out;
        std::size_t held = 0;
        EXPECT_EQ(compositesAhead(reg, out, [&](ExpansionsAhead& a) { held = a.heldBytes(); }), "")
            << r.what;
        EXPECT_EQ(out.lines, r.lines) << r.what;
        EXPECT_LE(held, r.mostHeld) << r.what;
    }
}

// The model is tested before the register is touched.
TEST(Generators, modelIsTestedBeforeReading) {
    RegisterText text = registerTextOf("(A,0,A,a)\n");
    RegisterHandle h = readRegister(text);
    LineVector out;
    EXPECT_EQ(failureOf([&] { populateBasicFile(h, out, 1, "2"); }), msg::modelRefused);
    EXPECT_EQ(getALine(h), "(A,0,A,a)") << "nothing was read";
}

} // namespace

#include "generators/PrepareBasicFile.hpp"
#include "generators/PrepareConfigFile.hpp"
#include "generators/PrepareFamilyFile.hpp"
#include "generators/PrepareNamesFile.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>

namespace {

const char* const modelRefused =
    "PrepareBasicFile:(20,1)-(31,159): Non-exhaustive patterns in function populateBasicFile";

struct Fixture {
    TempDir dir;
    std::string reg = dir.file("reg");
    std::string out = dir.file("out");
};

// Basic features only, numbered from the first index, whatever stands between.
TEST(Generators, basicFileNumbersBasicFeaturesOnly) {
    Fixture f;
    writeFile(f.reg, "(A,0,A,a)\n(K,1,A,k)\n(B,0,B,,)\n(L,2,A,l)\n(C,0,C,c)\n(D,00,D,d)\n");
    RegisterHandle h = readRegister(f.reg);
    populateBasicFile(h, f.out, 5, "0");
    EXPECT_EQ(readFile(f.out), "bdd A = bdd_ithvar(5) ; // a\nbdd B = bdd_ithvar(6) ; // \n"
                               "bdd C = bdd_ithvar(7) ; // c\n");
    RegisterHandle bag = readRegister(f.reg);
    populateBasicFile(bag, f.dir.file("bag"), 1, "1");
    EXPECT_EQ(readFile(f.dir.file("bag")).substr(0, 40), "bdd A = set2bag( bdd_ithvar(1)) ; // a\nb");
}

// The model is tested before the register is touched.
TEST(Generators, basicFileRefusesOtherModels) {
    Fixture f;
    writeFile(f.reg, "(A,0,A,a)\n");
    for (const char* model : {"2", "01", "", " 0", "1 "}) {
        RegisterHandle h = readRegister(f.reg);
        EXPECT_EQ(failureOf([&] { populateBasicFile(h, f.out, 1, model); }), modelRefused) << model;
        EXPECT_EQ(getALine(h), "(A,0,A,a)") << "nothing was read";
    }
    EXPECT_FALSE(std::filesystem::exists(f.out));
}

TEST(Generators, namesFileEndsWithItsClosingEntry) {
    Fixture f;
    writeFile(f.reg, "(A,0)\n(K,1,x,y)\n(\"q\\,0,x,y)\n");
    RegisterHandle h = readRegister(f.reg);
    populateNamesFile(h, f.out, 7);
    EXPECT_EQ(readFile(f.out), "names[7]=\"A\";\nnames[8]=\"\"q\\\";\nnames[0]=\"1\";\n");
    writeFile(f.reg, "(A,0,A,a)\n\n");
    RegisterHandle broken = readRegister(f.reg);
    EXPECT_NE(failureOf([&] { populateNamesFile(broken, f.dir.file("names"), 1); }), "");
    EXPECT_EQ(readFile(f.dir.file("names")), "names[1]=\"A\";\n") << "no closing entry after a failure";
}

TEST(Generators, configFileCountsFromTheStart) {
    Fixture f;
    writeFile(f.reg, "(A,0)\n(B,1)\n(C,0,x,y)\n");
    RegisterHandle h = readRegister(f.reg);
    populateConfigFile(h, f.out, 3, "2", "");
    EXPECT_EQ(readFile(f.out), "const int occ_bitsize = ; // The number of bits to encod occurances\n"
                               "int model = 2; // 0 for set, 1 for bag, others implemented later.\n"
                               "int number_of_vars =  + 5; // the needed number of bdd variables\n");
}

TEST(Generators, familyFileWithoutFeaturesIsNotCreated) {
    Fixture f;
    writeFile(f.reg, "(A,3,A,a)\n(B, 1,B,b)\n");
    RegisterHandle basic = readRegister(f.reg);
    populateFamilyFileBasic(basic, f.out);
    RegisterHandle composite = readRegister(f.reg);
    populateFamilyFileComposite(composite, f.out, f.reg);
    EXPECT_FALSE(std::filesystem::exists(f.out));
}

} // namespace

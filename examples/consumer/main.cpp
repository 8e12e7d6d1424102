// A consumer of fagen's four fragments: builds every family of a register and
// prints it as its products. Compile with the folders of the fragments on the
// include path (working_dir/ for config.h and names.h, the run folder for
// basic.h and family.h) and link with -lbdd; print-families.inc names the
// families to print (one print("NAME", NAME); per FAMILY line of family.h).
#include "config.h" // occ_bitsize, model, number_of_vars

#include "family.hpp"

#include <vector>

int main() {
    std::vector<const char*> storage(number_of_vars + 1, nullptr);
    const char** names = storage.data();
#include "names.h"
    family_model::featureNames = names;
    family_model::init(number_of_vars);
    FAMILY zeroSet, oneSet = FAMILY::of(family_model::product({}));
    // Inside an operator, fagen writes the constants in upper case.
    const FAMILY& ZEROSET = zeroSet;
    const FAMILY& ONESET = oneSet;
    (void)ZEROSET;
    (void)ONESET;
#include "basic.h"
#include "family.h"
    using family_model::print;
#include "print-families.inc"
    bdd_done();
    return 0;
}

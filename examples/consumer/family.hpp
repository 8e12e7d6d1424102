// The meaning of fagen's outputs in the set model, on the BuDDy BDD library.
//
// A FAMILY is a set of products, a product a set of basic features. Feature k
// (the k-th basic feature, declared as bdd_ithvar(k)) is BDD variable k; a
// family is the characteristic function of its products over those variables:
// a product is the assignment that sets exactly its features' variables. DOT
// needs two more copies of every variable, so the library is set up with three
// blocks of `width` variables: products (x), and the copies y and z, ordered
// x_0 y_0 z_0 x_1 y_1 z_1 ...
//
//   insert(v)   adds the product {v}
//   FAMILY K =v the family {{v}} (v a basic feature's variable)
//   PLUS(F, G)  F ∪ G
//   DOT(F, G)   { p ∪ q : p ∈ F, q ∈ G } = ∃y,z. F(y) ∧ G(z) ∧ ∀i (x_i ↔ y_i ∨ z_i)
//   zeroSet     the empty family;  oneSet  the family holding the empty product
//
// set2bag (the bag model) is only declared: bag-model fragments compile, but
// they have no meaning here.
#pragma once
#include <bdd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace family_model {

inline int width = 0; // variables per block

inline int y(int i) {
    return width + i;
}
inline int z(int i) {
    return 2 * width + i;
}

inline void init(int variables) {
    width = variables + 1; // indexes 1..variables; index 0 stays unused
    bdd_init(1000000, 100000);
    bdd_gbc_hook(nullptr); // no report of garbage collections on standard output
    bdd_setvarnum(3 * width);
    // Each variable's copies sit next to it in the order: with the blocks one
    // after the other, the relation of DOT would need exponentially many nodes.
    std::vector<int> order;
    for (int i = 0; i < width; ++i)
        order.insert(order.end(), {i, y(i), z(i)});
    bdd_setvarorder(order.data());
}

// The product whose features are exactly `set` (variables of the x block).
inline bdd product(const std::vector<int>& set) {
    bdd p = bddtrue;
    for (int i = 0; i < width; ++i)
        p &= std::find(set.begin(), set.end(), i) != set.end() ? bdd_ithvar(i) : bdd_nithvar(i);
    return p;
}

} // namespace family_model

struct FAMILY {
    bdd set = bddfalse; // the characteristic function of the products
    FAMILY() = default;
    // A basic feature's variable stands for the family {{v}}: fagen writes a
    // composite whose whole expression is a basic code as `FAMILY K =a;`.
    FAMILY(const bdd& v) : set(family_model::product({bdd_var(v)})) {}
    static FAMILY of(const bdd& products) {
        FAMILY f;
        f.set = products;
        return f;
    }
    void insert(const bdd& v) { set |= family_model::product({bdd_var(v)}); }
};

inline FAMILY PLUS(const FAMILY& f, const FAMILY& g) {
    return FAMILY::of(f.set | g.set);
}

inline FAMILY DOT(const FAMILY& f, const FAMILY& g) {
    using namespace family_model;
    bddPair* toY = bdd_newpair();
    bddPair* toZ = bdd_newpair();
    bdd link = bddtrue, copies = bddtrue;
    for (int i = 0; i < width; ++i) {
        bdd_setpair(toY, i, y(i));
        bdd_setpair(toZ, i, z(i));
        link &= bdd_biimp(bdd_ithvar(i), bdd_ithvar(y(i)) | bdd_ithvar(z(i)));
        copies &= bdd_ithvar(y(i)) & bdd_ithvar(z(i));
    }
    bdd fy = bdd_replace(f.set, toY);
    bdd gz = bdd_replace(g.set, toZ);
    bdd_freepair(toY);
    bdd_freepair(toZ);
    return FAMILY::of(bdd_exist(fy & gz & link, copies));
}

bdd set2bag(const bdd& v);

// The products of a family, each as its sorted feature codes, sorted.
namespace family_model {

inline std::vector<std::vector<std::string>> found;
inline const char** featureNames = nullptr;

inline void collect(char* profile, int) {
    // Expand the variables left open into both values.
    std::vector<std::vector<int>> products{{}};
    for (int i = 0; i < width; ++i) {
        if (profile[i] == 1) {
            for (auto& p : products)
                p.push_back(i);
        } else if (profile[i] == -1) {
            std::size_t n = products.size();
            for (std::size_t k = 0; k < n; ++k) {
                products.push_back(products[k]);
                products.back().push_back(i);
            }
        }
    }
    for (const auto& p : products) {
        std::vector<std::string> codes;
        for (int i : p)
            codes.push_back(featureNames[i] ? featureNames[i] : "?");
        std::sort(codes.begin(), codes.end());
        found.push_back(codes);
    }
}

inline void print(const char* name, const FAMILY& f) {
    found.clear();
    bdd_allsat(f.set, collect);
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::printf("%s = {", name);
    for (std::size_t k = 0; k < found.size(); ++k) {
        std::printf("%s{", k ? ", " : "");
        for (std::size_t i = 0; i < found[k].size(); ++i)
            std::printf("%s%s", i ? ", " : "", found[k][i].c_str());
        std::printf("}");
    }
    std::printf("}\n");
}

} // namespace family_model

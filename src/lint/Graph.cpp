#include "lint/Graph.hpp"

#include "base/Text.hpp"
#include "expansion/ExtendedAssign.hpp"
#include "register/RegisterIndex.hpp"
#include "register/RegisterLine.hpp"

#include <set>
#include <unordered_set>

namespace {

std::string dotId(std::string_view s) {
    std::string shown;
    appendShown(shown, s);
    std::string id = "\"";
    for (char c : shown) {
        if (c == '"' || c == '\\') id += '\\';
        id += c;
    }
    return id + "\"";
}

using Edges = std::set<std::pair<std::string, char32_t>>; // code, operator (0: none)

// The codes of the last term the expansion read, each under its operator.
void edgesOf(ExpansionContext& x, std::string_view expression, Edges& edges) {
    const TermReading& r = x.reading;
    if (x.plain) { // note [plain terms]: the words in prefix order
        const auto& words = x.plainWords;
        std::vector<std::pair<char32_t, int>> open{{static_cast<char32_t>(expression[0]), 2}};
        for (std::size_t k = 1; k < words[0].past; ++k) {
            const auto& w = words[k];
            char32_t parent = open.back().first;
            if (--open.back().second == 0) open.pop_back();
            if (w.decision == Decision::Eval) { // a ground term: no codes in it
                k = w.past - 1;
                continue;
            }
            if (w.op) {
                open.push_back({static_cast<char32_t>(expression[w.begin]), 2});
            } else if (w.found.found) {
                edges.insert({std::string(expression.substr(w.begin, w.end - w.begin)), parent});
            }
        }
        return;
    }
    if ((r.whole == Decision::Keep || r.whole == Decision::Blank) && x.wholeFound.found) {
        edges.insert({std::string(expression), 0}); // the expression is one code
        return;
    }
    if (r.whole != Decision::Operator) return;
    TermGraph& g = x.graph;
    std::vector<std::uint8_t> seen(g.nodes.size()); // a node read twice is walked once per operator
    std::vector<std::pair<std::uint32_t, char32_t>> stack;
    for (std::uint32_t root : {r.right, r.left})
        if (root != noNode) stack.push_back({root, r.op});
    while (!stack.empty()) {
        auto [node, op] = stack.back();
        stack.pop_back();
        std::uint8_t bit = op == U'+' ? 1 : 2;
        if (node >= x.decisions.size() || (seen[node] & bit)) continue;
        seen[node] |= bit;
        const TermNode& n = g.nodes[node];
        Decision d = x.decisions[node];
        if (d == Decision::Operator) {
            char32_t o = n.isDot ? U'.' : U'+';
            stack.push_back({n.second, o});
            stack.push_back({n.first, o});
        } else if ((d == Decision::Keep || d == Decision::Blank) && node < x.found.size() &&
                   x.found[node].found) {
            edges.insert({renderTerm(g, node), op});
        }
    }
}

} // namespace

std::string registerGraph(const RegisterText& text) {
    ExpansionContext x = expansionOf(text);
    x.lookUps.index = std::make_shared<const RegisterIndex>(indexRegister(text));
    std::vector<Failure> failures;
    x.collect = &failures; // note [checker failures]: the codes are drawn as fagen reads them
    std::string dot = "digraph register {\n  rankdir=LR;\n";
    std::unordered_set<std::string_view> drawn;
    struct Composite {
        std::string_view code, expression;
    };
    std::vector<Composite> composites;
    RegisterHandle h = readRegister(text);
    for (ReadLine r; (r = readLine(h)).read != LineRead::End;) {
        if (r.read == LineRead::Invalid) continue;
        if (r.type != LineType::Basic && r.type != LineType::Composite) continue;
        std::string_view code = findColumn(1, r.line.text).text;
        if (drawn.insert(code).second)
            dot += "  " + dotId(code) +
                   (r.type == LineType::Composite ? " [shape=ellipse];\n" : " [shape=box];\n");
        Column expr = findColumn(3, r.line.text);
        if (r.type == LineType::Composite && expr.fault == ColumnFault::None)
            composites.push_back({code, expr.text});
    }
    std::string expansion;
    for (const Composite& c : composites) {
        Edges edges;
        expansion.clear();
        try {
            extendedAssign(c.expression, x, expansion);
        } catch (const Failure&) { // note [checker failures]: fagen-lint reports it
            continue;
        }
        edgesOf(x, c.expression, edges);
        for (const auto& [target, op] : edges) {
            dot += "  " + dotId(c.code) + " -> " + dotId(target);
            dot += op == 0 ? ";\n" : std::string(" [label=\"") + static_cast<char>(op) + "\"];\n";
        }
    }
    return dot + "}\n";
}

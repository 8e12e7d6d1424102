#include "lint/Graph.hpp"

#include "base/Text.hpp"
#include "register/RegisterIndex.hpp"
#include "register/RegisterLine.hpp"
#include "terms/TermAnalysis.hpp"

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

} // namespace

std::string registerGraph(const RegisterText& text) {
    RegisterIndex index = indexRegister(text);
    std::string dot = "digraph register {\n  rankdir=LR;\n";
    std::unordered_set<std::string_view> drawn;
    struct Composite {
        std::string_view code, expression;
    };
    std::vector<Composite> composites;
    RegisterHandle h = readRegister(text);
    for (ReadLine r; (r = readLine(h)).read != LineRead::End;) {
        if (r.read == LineRead::Invalid) continue;
        Column type = findColumn(2, r.line.text);
        if (type.fault != ColumnFault::None) continue;
        bool basic = type.text == "0", composite = type.text == "1" || type.text == "2";
        if (!basic && !composite) continue;
        std::string_view code = findColumn(1, r.line.text).text;
        if (drawn.insert(code).second)
            dot += "  " + dotId(code) + (composite ? " [shape=ellipse];\n" : " [shape=box];\n");
        Column expr = findColumn(3, r.line.text);
        if (composite && expr.fault == ColumnFault::None) composites.push_back({code, expr.text});
    }
    TermGraph g;
    for (const Composite& c : composites) {
        std::uint32_t root;
        try {
            readTerm(c.expression, g);
            root = takeTermAt(g, 0);
        } catch (const Failure&) { // note [checker failures]: fagen-lint reports it
            continue;
        }
        // The atoms of the term as fagen reads it, each under its operator.
        std::set<std::pair<std::string, char32_t>> edges;
        std::vector<std::pair<std::uint32_t, char32_t>> stack{{root, 0}};
        // A node read at two places is walked once under each operator.
        std::vector<std::uint8_t> seen(g.nodes.size());
        while (!stack.empty()) {
            auto [id, op] = stack.back();
            stack.pop_back();
            std::uint8_t bit = op == 0 ? 1 : op == U'+' ? 2 : 4;
            if (seen[id] & bit) continue;
            seen[id] |= bit;
            const TermNode& n = g.nodes[id];
            if (n.isOperator) {
                char32_t o = n.isDot ? U'.' : U'+';
                stack.push_back({n.second, o});
                stack.push_back({n.first, o});
                continue;
            }
            std::string word = fromChars(wordOf(g, n));
            if (probe(index, word).found.found) edges.insert({word, op});
        }
        for (const auto& [target, op] : edges) {
            dot += "  " + dotId(c.code) + " -> " + dotId(target);
            dot += op == 0 ? ";\n" : std::string(" [label=\"") + static_cast<char>(op) + "\"];\n";
        }
    }
    return dot + "}\n";
}

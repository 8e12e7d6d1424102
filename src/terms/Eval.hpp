#pragma once
// Ground terms as expression text: "0" is zeroSet, "1" oneSet, "+" PLUS, "." DOT.
#include "terms/TermAnalysis.hpp"

#include <string>
#include <string_view>

std::string eval(std::string_view t);

// eval of the text of g (as eval(t) does) or of one node's normal form, appended
// to out.
void evalText(TermGraph& g, std::string& out);
void evalTerm(const TermGraph& g, std::uint32_t node, std::string& out);

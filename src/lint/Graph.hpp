#pragma once
// The register's reference graph in Graphviz's DOT language.
#include "register/Register.hpp"

#include <string>

// Basic features as boxes, composites as ellipses, an edge from each composite
// to every code its expression names as fagen reads it, labelled with the
// operator it stands under. Labels show register text with control characters
// escaped.
std::string registerGraph(const RegisterText& text);

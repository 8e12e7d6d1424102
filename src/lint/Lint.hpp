#pragma once
// The register checker: what a fagen run would stop on (errors), and what it
// accepts but probably was not meant (warnings), found in one pass.
#include <cstddef>
#include <string>
#include <vector>

struct Diagnostic {
    std::size_t line;   // from 1
    std::size_t column; // from 1, in characters
    bool error;
    std::string text;
};

// The diagnostics of the register at path, sorted by line and column. Fails
// (with fagen's file-error message) only when the register cannot be opened.
std::vector<Diagnostic> lintRegister(const std::string& path);

// "path:line:column: error: text" or "... warning: text".
std::string formatDiagnostic(const std::string& path, const Diagnostic& d);

// The register's reference graph in Graphviz's DOT language: basic features as
// boxes, composites as ellipses, an edge from each composite to every code its
// expression names, labelled with the operator it stands under.
std::string registerGraph(const std::string& path);

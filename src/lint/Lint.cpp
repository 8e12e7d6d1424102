#include "lint/Lint.hpp"

#include "base/Failure.hpp"
#include "base/Text.hpp"
#include "expansion/ExtendedAssign.hpp"
#include "register/Register.hpp"
#include "register/RegisterLine.hpp"
#include "terms/StringParsing.hpp"
#include "terms/TermAnalysis.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unordered_map>

namespace {

struct CodeLine {
    std::size_t line;
    LineType type;
    std::string_view typeText; // kept only for types other than 0, 1 and 2
};

// The first line of every look-up code, in one flat table: registers have
// millions of lines, and a node per code costs more than the rest of the check.
// A code of up to 16 bytes is kept in its slot, a longer one in `text`.
struct CodeTable {
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t line = 0; // 0: a free slot
        std::uint32_t size = 0;
        LineType type = LineType::Other;
        char code[16] = {}; // the code, or its offset in `text`
    };
    std::vector<Slot> slots = std::vector<Slot>(64);
    std::string text;
    std::size_t count = 0;
    std::unordered_map<std::uint32_t, std::string> typeTexts; // lines of types other than 0, 1, 2
};

std::uint64_t hashOf(std::string_view code) {
    return std::hash<std::string_view>{}(code) | 1;
}

std::string_view codeOf(const CodeTable& t, const CodeTable::Slot& s) {
    if (s.size <= sizeof s.code) return {s.code, s.size};
    std::size_t offset;
    std::memcpy(&offset, s.code, sizeof offset);
    return std::string_view(t.text).substr(offset, s.size);
}

CodeLine lineOf(const CodeTable& t, const CodeTable::Slot& s) {
    auto text = t.typeTexts.find(s.line);
    return {s.line, s.type,
            text == t.typeTexts.end() ? std::string_view() : std::string_view(text->second)};
}

std::size_t probeStart(const CodeTable& t, std::uint64_t hash) {
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> 20) & (t.slots.size() - 1);
}

const CodeTable::Slot* findCode(const CodeTable& t, std::string_view code) {
    std::uint64_t hash = hashOf(code);
    for (std::size_t i = probeStart(t, hash);; i = (i + 1) & (t.slots.size() - 1)) {
        const CodeTable::Slot& s = t.slots[i];
        if (s.line == 0) return nullptr;
        if (s.hash == hash && codeOf(t, s) == code) return &s;
    }
}

// The slot of code: the one found, or a new one holding line (second: true).
std::pair<CodeTable::Slot*, bool> insertCode(CodeTable& t, std::uint64_t hash,
                                             std::string_view code, std::size_t line) {
    if ((t.count + 1) * 2 > t.slots.size()) {
        std::vector<CodeTable::Slot> old(t.slots.size() * 2);
        old.swap(t.slots);
        for (const CodeTable::Slot& s : old) {
            if (s.line == 0) continue;
            std::size_t i = probeStart(t, s.hash);
            while (t.slots[i].line != 0)
                i = (i + 1) & (t.slots.size() - 1);
            t.slots[i] = s;
        }
    }
    std::size_t i = probeStart(t, hash);
    for (; t.slots[i].line != 0; i = (i + 1) & (t.slots.size() - 1))
        if (t.slots[i].hash == hash && codeOf(t, t.slots[i]) == code) return {&t.slots[i], false};
    CodeTable::Slot& s = t.slots[i];
    s.hash = hash;
    s.size = static_cast<std::uint32_t>(code.size());
    s.line = static_cast<std::uint32_t>(line);
    if (code.size() <= sizeof s.code) {
        std::memcpy(s.code, code.data(), code.size());
    } else {
        std::size_t offset = t.text.size();
        std::memcpy(s.code, &offset, sizeof offset);
        t.text.append(code);
    }
    ++t.count;
    return {&s, true};
}

struct Composite {
    std::size_t line;
    std::string code;
    std::string expression;
    std::size_t column; // where the expression starts
};

struct Register {
    std::vector<Diagnostic> out;
    CodeTable codes; // look-up code: its first line
    std::vector<Composite> composites;
    std::vector<std::pair<std::string, bool>> features; // code (column 1), composite?
    std::size_t firstStop = 0;                          // first line a look-up cannot pass
    struct Pending {
        std::uint64_t hash;
        std::size_t begin, size, line;
        LineType type;
    };
    std::vector<Pending> pending; // see insertPending
    std::string pendingText;
};

std::size_t columnOf(std::string_view line, std::string_view part) {
    return countChars(line.substr(0, static_cast<std::size_t>(part.data() - line.data()))) + 1;
}

std::string quoted(std::string_view text, std::size_t limit = 60) {
    if (countChars(text) <= limit) return "«" + std::string(text) + "»";
    std::string cut;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < limit; ++i)
        appendChar(cut, nextChar(text, pos));
    return "«" + cut + "…»";
}

bool isKeyword(std::string_view w) {
    static const std::set<std::string_view> keywords = {
        "alignas",       "alignof",     "and",
        "and_eq",        "asm",         "auto",
        "bitand",        "bitor",       "bool",
        "break",         "case",        "catch",
        "char",          "char8_t",     "char16_t",
        "char32_t",      "class",       "compl",
        "concept",       "const",       "consteval",
        "constexpr",     "constinit",   "const_cast",
        "continue",      "co_await",    "co_return",
        "co_yield",      "decltype",    "default",
        "delete",        "do",          "double",
        "dynamic_cast",  "else",        "enum",
        "explicit",      "export",      "extern",
        "false",         "float",       "for",
        "friend",        "goto",        "if",
        "inline",        "int",         "long",
        "mutable",       "namespace",   "new",
        "noexcept",      "not",         "not_eq",
        "nullptr",       "operator",    "or",
        "or_eq",         "private",     "protected",
        "public",        "register",    "reinterpret_cast",
        "requires",      "return",      "short",
        "signed",        "sizeof",      "static",
        "static_assert", "static_cast", "struct",
        "switch",        "template",    "this",
        "thread_local",  "throw",       "true",
        "try",           "typedef",     "typeid",
        "typename",      "union",       "unsigned",
        "using",         "virtual",     "void",
        "volatile",      "wchar_t",     "while",
        "xor",           "xor_eq"};
    return keywords.count(w) > 0;
}

bool isIdentifier(std::string_view w) {
    if (w.empty() || !(std::isalpha(static_cast<unsigned char>(w[0])) || w[0] == '_')) return false;
    return std::all_of(w.begin(), w.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

void add(Register& r, std::size_t line, std::size_t column, bool error, std::string text) {
    r.out.push_back({line, column, error, std::move(text)});
}

// A code becomes a C++ name in the fragments: «bdd code» and «FAMILY CODE».
// Returns false when it warned.
bool checkName(Register& r, std::size_t line, std::string_view name, const char* use) {
    if (!isIdentifier(name))
        add(r, line, 2, false,
            "code " + quoted(name) + " is not a C++ identifier: the generated «" + use + " " +
                std::string(name) + "» will not compile");
    else if (isKeyword(name))
        add(r, line, 2, false,
            quoted(name) + " is a C++ keyword: the generated «" + use + " " + std::string(name) +
                "» will not compile");
    else
        return true;
    return false;
}

std::string trimmed(std::string_view t) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!t.empty() && blank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && blank(t.back()))
        t.remove_suffix(1);
    return std::string(t);
}

// Codes wait in `pending` while their slots are fetched, and are inserted in
// register order, so the first line of a code still wins.
void insertPending(Register& r) {
    for (const Register::Pending& p : r.pending) {
        std::string_view code = std::string_view(r.pendingText).substr(p.begin, p.size);
        auto [slot, fresh] = insertCode(r.codes, p.hash, code, p.line);
        if (fresh)
            slot->type = p.type;
        else
            add(r, p.line, 1, false,
                "code " + quoted(code) + " is also on line " + std::to_string(slot->line) +
                    ": look-ups find only that first line");
    }
    r.pending.clear();
    r.pendingText.clear();
}

// One line as the five steps read it: its type column, and the columns its kind needs.
void readLineOf(Register& r, std::size_t number, std::string_view line) {
    if (line.find('(') != std::string::npos) {
        std::string_view code = lookUpCode({line, number});
        Column type = findColumn(2, line);
        LineType kind = type.fault == ColumnFault::None ? lineTypeOf(line) : LineType::NoTypeColumn;
        std::uint64_t hash = hashOf(code);
        __builtin_prefetch(&r.codes.slots[probeStart(r.codes, hash)]);
        r.pending.push_back({hash, r.pendingText.size(), code.size(), number, kind});
        r.pendingText.append(code);
        if (kind == LineType::Other)
            r.codes.typeTexts.emplace(static_cast<std::uint32_t>(number), type.text);
        if (r.pending.size() == 16) insertPending(r);
    } else if (r.firstStop == 0) {
        r.firstStop = number;
    }
    Column type = findColumn(2, line);
    if (type.fault != ColumnFault::None) {
        if (line.empty())
            add(r, number, 1, true, "empty line: fagen stops here, every line needs a type column");
        else if (type.fault == ColumnFault::EmptyText)
            add(r, number, 1, true,
                "no text left for the type column (only parentheses, or nothing after the code's "
                "«,»): fagen stops here");
        else
            add(r, number, countChars(line) + 1, true,
                "no type column (no «,» after the code): fagen stops here");
        return;
    }
    std::string_view code = getColumn(1, line);
    if (type.text == "0") {
        r.features.emplace_back(code, false);
        Column desc = findColumn(4, line);
        if (desc.fault != ColumnFault::None)
            add(r, number, countChars(line) + 1, true,
                "basic feature without a description column: fagen stops in the basic declarations "
                "file");
        else if (findColumn(5, line).fault == ColumnFault::None)
            add(r, number, columnOf(line, desc.text), false,
                "the description is cut at its «,»: fagen writes " + quoted(desc.text));
        if (checkName(r, number, code, "bdd") && checkName(r, number, upperCase(code), "FAMILY") &&
            upperCase(code) == code)
            add(r, number, 2, false,
                "code " + quoted(code) + " is already in upper case: «bdd " + std::string(code) +
                    "» and «FAMILY " + std::string(code) + "» declare the same name");
    } else if (type.text == "1" || type.text == "2") {
        r.features.emplace_back(code, true);
        Column expr = findColumn(3, line);
        if (expr.fault != ColumnFault::None) {
            add(r, number, countChars(line) + 1, true,
                "composite feature without an expression column: fagen stops in the family file");
            return;
        }
        checkName(r, number, upperCase(code), "FAMILY");
        r.composites.push_back(
            {number, std::string(code), std::string(expr.text), columnOf(line, expr.text)});
    } else {
        std::string hint = trimmed(type.text);
        add(r, number, columnOf(line, type.text), false,
            "type " + quoted(type.text) + " is neither 0, 1 nor 2: the line gets no output" +
                (hint == "0" || hint == "1" || hint == "2" ? "; did you mean «" + hint + "»?"
                                                           : ""));
    }
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// The nearest codes to a missing one: same letters in another case first, then
// codes at most two edits away.
std::string suggestion(const Register& r, const std::string& missing) {
    std::vector<std::pair<std::size_t, std::string>> near;
    for (const CodeTable::Slot& slot : r.codes.slots) {
        if (slot.line == 0) continue;
        std::string code(codeOf(r.codes, slot));
        if (code.size() + 2 < missing.size() || missing.size() + 2 < code.size()) continue;
        std::size_t d = upperCase(code) == upperCase(missing) ? 0 : editDistance(code, missing);
        if (d <= 2 && d < missing.size()) near.emplace_back(d, code);
    }
    if (near.empty()) return "";
    std::sort(near.begin(), near.end());
    std::string text = "; did you mean ";
    for (std::size_t i = 0; i < near.size() && i < 3; ++i)
        text += (i ? ", «" : "«") + near[i].second + "»";
    return text + "?";
}

// The words of an expression read as a well-formed prefix term: its normal form
// and the number of words it takes; empty when operands are missing.
std::pair<std::string, std::size_t> wordReading(const std::vector<std::string>& words) {
    std::size_t needed = 1, used = 0;
    std::string form;
    while (needed > 0 && used < words.size()) {
        const std::string& w = words[used++];
        form += (form.empty() ? "" : " ") + w;
        needed += (w == "+" || w == ".") ? 1 : 0;
        needed -= (w == "+" || w == ".") ? 0 : 1;
    }
    return needed == 0 ? std::make_pair(form, used) : std::make_pair(std::string(), std::size_t{0});
}

bool isVariable(const std::string& w) {
    return isLettersNumbers(toChars(w));
}

// Why the expansion of a composite stopped, in the register's own terms: every
// fault of the expression, not only the one fagen meets first, so that one
// round of fixes is enough.
void explainFailure(Register& r, const Composite& c, const Failure& failure,
                    const std::vector<std::string>& words) {
    const std::size_t at = c.column;
    std::size_t before = r.out.size();
    if (c.expression.empty()) {
        add(r, c.line, at, true, "empty expression: fagen cannot translate it");
        return;
    }
    if (words.empty()) {
        add(r, c.line, at, true, "blank expression: fagen stops on it");
        return;
    }
    try {
        takeTerm(c.expression);
    } catch (const Failure&) { // note [checker failures]
        add(r, c.line, at, true,
            "an operator lacks an operand: fagen stops reading " + quoted(c.expression));
    }
    std::set<std::string> seen;
    for (const std::string& w : words) {
        if (w == "+" || w == "." || w == "0" || w == "1" || !seen.insert(w).second) continue;
        if (!isVariable(w)) {
            add(r, c.line, at, true,
                quoted(w) + " cannot be translated: only 0, 1, + and . and feature codes may stand "
                            "in an expression");
            continue;
        }
        const CodeTable::Slot* found = findCode(r.codes, w);
        if (r.firstStop != 0 && (!found || found->line > r.firstStop)) {
            add(r, c.line, at, true,
                "the look-up of " + quoted(w) + " meets line " + std::to_string(r.firstStop) +
                    " (no «(») before " +
                    (!found ? std::string("any line with that code")
                            : "line " + std::to_string(found->line)));
        } else if (!found) {
            add(r, c.line, at, true, quoted(w) + " is no feature's code" + suggestion(r, w));
        } else if (found->type == LineType::NoTypeColumn) {
            add(r, c.line, at, true,
                quoted(w) + " is found on line " + std::to_string(found->line) +
                    ", which has no type column");
        }
    }
    if (r.out.size() > before) return;
    if (failure.kind == FailureKind::LookUpStopped && r.firstStop != 0)
        add(r, c.line, at, true,
            "fagen's look-ups stop at line " + std::to_string(r.firstStop) + ", which has no «(»");
    else if (failure.kind == FailureKind::Untranslatable)
        add(r, c.line, at, true,
            "a term that cannot be translated: an atom that begins with «+» or «.»");
    else
        add(r, c.line, at, true, "the expansion stops: " + failure.message);
}

// What fagen accepts in an expression but probably was not meant.
void warnAbout(Register& r, const Composite& c, const std::vector<std::string>& words,
               TermGraph& g) {
    const std::size_t at = c.column;
    auto [form, used] = wordReading(words);
    if (!form.empty()) {
        std::string literal;
        try {
            readTerm(c.expression, g);
            literal = renderTerm(g, takeTermAt(g, 0));
        } catch (const Failure&) { // note [checker failures]
        }
        if (!literal.empty() && literal != form)
            add(r, c.line, at, false,
                "an operand is read from a misplaced position (more than one blank, or a tab): "
                "fagen reads " +
                    quoted(literal));
        if (used < words.size()) {
            std::string rest;
            for (std::size_t i = used; i < words.size(); ++i)
                rest += (rest.empty() ? "" : " ") + words[i];
            add(r, c.line, at, false,
                "text after the first complete term is ignored: " + quoted(rest));
        }
    }
    for (const std::string& w : words) // start fetching the slots looked up below
        __builtin_prefetch(&r.codes.slots[probeStart(r.codes, hashOf(w))]);
    std::vector<std::string_view> seen; // a term has few distinct words
    for (const std::string& w : words) {
        if (w == "+" || w == "." || w == "0" || w == "1" ||
            std::find(seen.begin(), seen.end(), w) != seen.end())
            continue;
        seen.push_back(w);
        const CodeTable::Slot* found = findCode(r.codes, w);
        if (!found) continue;
        const CodeLine target = lineOf(r.codes, *found);
        if (!isVariable(w)) {
            add(r, c.line, at, false,
                quoted(w) + " is a code, but not a variable (only ASCII letters, then digits): "
                            "fagen cannot use it in an expression");
        } else if (target.type == LineType::Other) {
            add(r, c.line, at, false,
                quoted(w) + " has type " + quoted(target.typeText) + " (line " +
                    std::to_string(target.line) + "): it becomes a blank in the expression");
        } else if (target.type == LineType::Composite && target.line == c.line) {
            add(r, c.line, at, false,
                "the expression refers to its own feature: the family file uses FAMILY " +
                    upperCase(w) + " in its own declaration");
        } else if (target.type == LineType::Composite && target.line > c.line) {
            add(r, c.line, at, false,
                quoted(w) + " is a composite defined further down (line " +
                    std::to_string(target.line) + "): the family file uses FAMILY " + upperCase(w) +
                    " before declaring it");
        }
    }
}

Register scan(const RegisterText& text) {
    Register r;
    RegisterHandle h = readRegister(text);
    std::size_t number = 0, crLines = 0, firstCr = 0;
    for (ReadLine read; (read = readLine(h)).read != LineRead::End;) {
        ++number;
        std::string_view line = read.line.text;
        if (read.read == LineRead::Invalid) {
            add(r, number, 1, true,
                "bytes that are not valid in the register's encoding: fagen stops reading here");
            if (r.firstStop == 0) r.firstStop = number;
            continue;
        }
        if (!line.empty() && line.back() == '\r' && crLines++ == 0) firstCr = number;
        readLineOf(r, number, line);
    }
    insertPending(r);
    if (crLines > 0)
        add(r, firstCr, 1, false,
            "CR LF line ends (" + std::to_string(crLines) + (crLines == 1 ? " line" : " lines") +
                "): the carriage return becomes part of each line's last column");
    return r;
}

} // namespace

// note [checker failures]: fagen stops at its first failure; the checker wants
// every one, so it catches the failure of each composite's expansion (the same
// code fagen runs) and goes on with the next. Nothing else catches a Failure.
std::vector<Diagnostic> lintRegister(const std::string& path) {
    RegisterText text = openRegisterText(path);
    Register r = scan(text);
    ExpansionContext context = expansionOf(text);
    std::string expansion;
    bool lookUpsFailed = false;
    TermGraph scratch;
    for (const Composite& c : r.composites) {
        std::vector<std::string> words = getWords(c.expression);
        try {
            expansion.clear();
            extendedAssign(c.expression, context, expansion);
        } catch (const Failure& f) {
            explainFailure(r, c, f, words);
            lookUpsFailed =
                lookUpsFailed || (f.kind == FailureKind::LookUpStopped && r.firstStop != 0);
        }
        warnAbout(r, c, words, scratch);
    }
    if (lookUpsFailed)
        add(r, r.firstStop, 1, true,
            "a line without «(»: fagen's look-ups stop here, and the expansions that reach it "
            "fail");
    std::stable_sort(r.out.begin(), r.out.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return r.out;
}

std::string formatDiagnostic(const std::string& path, const Diagnostic& d) {
    return path + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
           (d.error ? ": error: " : ": warning: ") + d.text;
}

namespace {

std::string dotId(std::string_view s) {
    std::string id = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') id += '\\';
        id += c == '\n' ? ' ' : c;
    }
    return id + "\"";
}

} // namespace

std::string registerGraph(const std::string& path) {
    Register r = scan(openRegisterText(path));
    std::string dot = "digraph register {\n  rankdir=LR;\n";
    std::set<std::string> drawn;
    for (const auto& [code, composite] : r.features)
        if (drawn.insert(code).second)
            dot += "  " + dotId(code) + (composite ? " [shape=ellipse];\n" : " [shape=box];\n");
    for (const Composite& c : r.composites) {
        TermGraph g;
        std::uint32_t root;
        try {
            readTerm(c.expression, g);
            root = takeTermAt(g, 0);
        } catch (const Failure&) { // note [checker failures]
            continue;
        }
        // The atoms of the term as fagen reads it, each under its operator.
        std::set<std::pair<std::string, char32_t>> edges;
        std::vector<std::pair<std::uint32_t, char32_t>> stack{{root, 0}};
        while (!stack.empty()) {
            auto [id, op] = stack.back();
            stack.pop_back();
            const TermNode& n = g.nodes[id];
            if (n.isOperator) {
                char32_t o = n.isDot ? U'.' : U'+';
                stack.push_back({n.second, o});
                stack.push_back({n.first, o});
                continue;
            }
            std::string word = renderTerm(g, id);
            if (findCode(r.codes, word)) edges.insert({word, op});
        }
        for (const auto& [target, op] : edges) {
            dot += "  " + dotId(c.code) + " -> " + dotId(target);
            dot += op == 0 ? ";\n" : std::string(" [label=\"") + static_cast<char>(op) + "\"];\n";
        }
    }
    return dot + "}\n";
}

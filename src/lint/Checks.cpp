#include "lint/Checks.hpp"

#include "base/Hash.hpp"
#include "base/Memory.hpp"
#include "base/Text.hpp"
#include "expansion/ExpansionsAhead.hpp"
#include "expansion/ExtendedAssign.hpp"
#include "explain/Explain.hpp"
#include "register/RegisterIndex.hpp"
#include "register/RegisterLine.hpp"
#include "terms/StringParsing.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

// note [checker failures]: fagen stops at its first failure; the checker wants
// every one. It runs the run's own expansion, which keeps the failures of
// look-ups and translations and reads on as if each were mended
// (ExpansionContext::collect), and catches the one failure that ends a term's
// reading. Nothing else catches a Failure but main.
//
// note [root causes]: a search by code stops at the first line without "(" (or
// with bytes the encoding refuses), and every expansion whose look-ups reach that
// line stops with it. The line is the one error; the expansions get one note
// with their count, and are checked as if the line were mended, so that the
// other problems of a register come out in the same pass.

namespace {

struct Composite {
    std::string_view expression;
    Place at; // where the expression starts; its line is the composite's
};

struct Checker {
    RegisterText text;
    ExpansionContext context; // holds the register's index, with line numbers
    const RegisterIndex* index = nullptr;
    NearestCodes near;
    Explainer explainer;
    std::vector<Diagnostic> out;
    BlockList<Composite> composites; // never moved: QuietAhead reads them
    std::unordered_map<std::uint64_t, std::string_view> otherTypes; // line: its type text
    // Codes as the code column gives them, on lines where a look-up reads
    // another code (the text after the line's first «(»): the first such line.
    std::unordered_map<std::string_view, std::uint64_t> codesNotLookedUp;
    // Codes without the blanks or tabs around them, where they have some: the
    // first line of each.
    std::unordered_map<std::string_view, std::uint64_t> codesWithBlanks;
    // Lines where fagen stops before step 5 (bytes, columns of every line, a
    // basic feature's text): sorted.
    std::vector<std::uint64_t> lineErrors;
    std::vector<std::uint64_t> invalidLines; // lines the encoding refuses, in order
    // Lines whose error only step 5 meets (a composite's expression column or code).
    std::unordered_set<std::uint64_t> lateError;
    std::uint64_t crLines = 0;
    Place firstCr;
    // The family names of codes with an upper-case ASCII letter or a non-ASCII
    // byte, by hash (note [family names]).
    struct FamilyName {
        std::uint64_t hash;
        std::uint64_t line : 63;
        std::uint64_t reported : 1; // already paired through the look-up index
    };
    std::vector<FamilyName> familyNames;
    // Look-ups of lower-case spellings, waiting for the index (note [index beside the lines]).
    struct Spelling {
        std::uint64_t hash;
        std::size_t name; // in familyNames
        std::string_view code;
    };
    std::vector<Spelling> spellings;
    std::string scratch;
};

void add(Checker& c, Place at, Severity s, std::string text) {
    c.out.push_back({at.line, at.column == 0 ? 1 : at.column, s, std::move(text)});
}

void addFailure(Checker& c, const Failure& f, Place fallback) {
    Place at = f.place.line != 0 ? f.place : fallback;
    std::string text = explain(f, c.explainer);
    add(c, at, Severity::Error, text.empty() ? f.message : text);
}

bool isKeyword(std::string_view w) {
    static const std::unordered_set<std::string_view> keywords = {
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
    // Every keyword begins with two lower-case letters, and most codes share
    // neither their first two letters nor their first letter and length with
    // any keyword («f12345» and «friend»): tables of both answer them without
    // hashing.
    struct Possible {
        std::array<std::array<bool, 17>, 26> size{};
        std::array<std::array<bool, 26>, 26> start{};
    };
    static const Possible possible = [] {
        Possible p;
        for (std::string_view k : keywords) {
            p.size[static_cast<std::size_t>(k[0] - 'a')][k.size()] = true;
            p.start[static_cast<std::size_t>(k[0] - 'a')][static_cast<std::size_t>(k[1] - 'a')] =
                true;
        }
        return p;
    }();
    auto lower = [](char ch) { return ch >= 'a' && ch <= 'z'; };
    if (w.size() < 2 || w.size() > 16 || !lower(w[0]) || !lower(w[1])) return false;
    const auto first = static_cast<std::size_t>(w[0] - 'a');
    if (!possible.size[first][w.size()] ||
        !possible.start[first][static_cast<std::size_t>(w[1] - 'a')])
        return false;
    return keywords.count(w) > 0;
}

bool isIdentifier(std::string_view w) {
    auto letter = [](char c) { return isLetter(static_cast<unsigned char>(c)); };
    if (w.empty() || !letter(w[0])) return false;
    return std::all_of(w.begin(), w.end(),
                       [&](char c) { return letter(c) || isDigit(static_cast<unsigned char>(c)); });
}

// A code becomes a C++ name in the fragments: «bdd code» and «FAMILY CODE».
// Returns false when it warned.
bool checkName(Checker& c, Place at, std::string_view name, const char* use) {
    bool identifier = isIdentifier(name);
    if (identifier && !isKeyword(name)) return true;
    std::string generated = quoted(use + (" " + std::string(name)));
    add(c, at, Severity::Warning,
        identifier
            ? quoted(name) + " is a C++ keyword: the generated " + generated + " will not compile"
            : "code " + quoted(name) + " is not a C++ identifier: the generated " + generated +
                  " will not compile");
    return false;
}

std::string trimmed(std::string_view t) {
    auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; };
    while (!t.empty() && blank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && blank(t.back()))
        t.remove_suffix(1);
    return std::string(t);
}

// The first character of text that the locale's encoding cannot write, in
// itself or, with upper, in upper case: an error (fagen stops at that append).
void checkEncodable(Checker& c, NumberedLine line, std::string_view text, bool upper,
                    const char* where) {
    if (!needsEncoding()) return;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t start = pos;
        char32_t ch = nextChar(text, pos);
        if (ch < 0x80) continue;
        std::string one(text.substr(start, pos - start)), big;
        appendChar(big, upperChar(ch));
        bool plain = canShow(one), raised = !upper || canShow(big);
        if (plain && raised) continue;
        add(c, placeOf(line, text.substr(start)), Severity::Error,
            quoted(plain ? big : one) + (plain ? ", the upper case of " + quoted(one) + "," : "") +
                " cannot be written in " + localeCodeset() + ": fagen stops at " + where);
        return;
    }
}

// A description is written after «//» in the basic declarations file.
void checkDescription(Checker& c, NumberedLine line, std::string_view desc) {
    std::string_view body = desc;
    if (!body.empty() && body.back() == '\r') body.remove_suffix(1); // the line's CR LF end
    std::size_t cr = findByte(body, '\r');
    if (cr != std::string_view::npos)
        add(c, placeOf(line, body.substr(cr)), Severity::Warning,
            "the description holds a carriage return: a C++ compiler ends the comment there and "
            "reads the "
            "rest of the line as code");
    // Compilers join lines at a backslash followed by blanks, tabs, form feeds
    // or vertical tabs too, and only warn.
    std::size_t last = body.find_last_not_of(" \t\f\v");
    if (last != std::string_view::npos && body[last] == '\\')
        add(c, placeOf(line, body.substr(last)), Severity::Warning,
            std::string("the description ends in «\\»") +
                (last + 1 < body.size() ? " and white space, which compilers pass over" : "") +
                ": the comment goes on into the next line of the basic declarations file and "
                "swallows its declaration");
}

// An empty column makes fagen's search for its end pass over the «,» after it,
// so the next column is read from the text after the following «,». Warns at
// the first empty one of the columns before column `needed`, when fagen still
// finds that column (else the missing column is an error of its own).
void checkEmptyColumns(Checker& c, NumberedLine line, const std::array<Column, 5>& columns,
                       int needed) {
    for (int m = 1; m < needed; ++m) {
        const Column& empty = columns[static_cast<std::size_t>(m - 1)];
        if (empty.fault != ColumnFault::None || !empty.text.empty()) continue;
        const Column& next = columns[static_cast<std::size_t>(m)];
        if (next.fault != ColumnFault::None) return;
        add(c, placeOf(line, empty.text), Severity::Warning,
            std::string("the ") + columnName(m) +
                " column is empty, so fagen's search for its end passes over the «,» after it "
                "and takes " +
                quoted(next.text) + " as the " + columnName(m + 1));
        return;
    }
}

void checkBasic(Checker& c, NumberedLine line, const std::array<Column, 5>& columns) {
    const std::string_view code = columns[0].text;
    const Column& desc = columns[3];
    if (desc.fault != ColumnFault::None) {
        addFailure(c, *failureOfColumn(desc, line, 4), {line.number, 1});
        return;
    }
    checkEmptyColumns(c, line, columns, 4);
    Place codeAt = placeOf(line, code);
    if (columns[4].fault == ColumnFault::None)
        add(c,
            placeOf(line, line.text.substr(
                              static_cast<std::size_t>(desc.text.end() - line.text.begin()))),
            Severity::Warning,
            "the description is cut at this «,»: fagen writes " + quoted(desc.text));
    checkDescription(c, line, desc.text);
    // A code that makes a name as «bdd code» makes one as «FAMILY CODE» too: an
    // ASCII identifier stays one in upper case, and no keyword is in upper case.
    bool lowerCase =
        std::any_of(code.begin(), code.end(), [](char ch) { return ch >= 'a' && ch <= 'z'; });
    if (checkName(c, codeAt, code, "bdd") && !lowerCase)
        add(c, codeAt, Severity::Warning,
            "code " + quoted(code) + " is already in upper case: «bdd " + std::string(code) +
                "» and «FAMILY " + std::string(code) + "» declare the same name");
    std::size_t quote = code.find_first_of("\"\\");
    if (quote != std::string_view::npos)
        add(c, placeOf(line, code.substr(quote)), Severity::Warning,
            "the code holds " + quoted(code.substr(quote, 1)) +
                ": names.h writes it inside a string literal, which it breaks");
    checkEncodable(c, line, code, true, "the code");
    checkEncodable(c, line, desc.text, false, "the description");
}

// note [family names]: each code of type 0, 1 or 2 declares «FAMILY» and its
// upper case, so two codes that differ only in case declare the same family
// twice and the family file does not compile. A code without an upper-case
// letter or a non-ASCII byte can meet another only if that one has some, so
// only codes that have some are looked at: the lower case of their family name
// through the look-up index, and their family names against each other's, by
// hash, once every line is read. Registers whose codes are lower case pay
// nothing.

// Warns when the code of line `other` is spelt otherwise than `code` (on line
// `number`) but declares the same family; on the later of the two lines.
bool pairFamilies(Checker& c, std::uint64_t number, std::string_view code,
                  const std::string& family, std::uint64_t other) {
    std::optional<NumberedLine> there = lineAt(c.text, other);
    std::optional<NumberedLine> here = lineAt(c.text, number);
    if (!there || !here || other == number) return false;
    Column type = findColumn(2, there->text);
    if (type.text != "0" && type.text != "1" && type.text != "2") return false;
    std::string_view theirs = findColumn(1, there->text).text;
    if (theirs == code || upperCase(theirs) != family) return false;
    if (other > number) {
        std::swap(here, there);
        std::swap(code, theirs);
    }
    add(c, placeOf(*here, code), Severity::Warning,
        "code " + quoted(code) + " and code " + quoted(theirs) + " (line " +
            std::to_string(there->number) + ") differ only in case: the family file declares " +
            quoted("FAMILY " + family) + " twice");
    return true;
}

std::string_view codeOfLine(const Checker& c, std::uint64_t number) {
    return findColumn(1, lineAt(c.text, number)->text).text;
}

// The one spelling without upper-case letters that declares `code`'s family, if
// its family name is ASCII: the name in lower case.
bool lowerSpellingInto(std::string& out, std::string_view code) {
    out.clear();
    appendUpperCase(out, code);
    for (char& ch : out) {
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 0x20);
    }
    return true;
}

// The look-ups of lower-case spellings, once the index is there.
void lookUpSpellings(Checker& c) {
    for (const Checker::Spelling& s : c.spellings) {
        Checker::FamilyName& name = c.familyNames[s.name];
        lowerSpellingInto(c.scratch, s.code);
        Probe p = probeHashed(*c.index, s.hash, false,
                              [&](std::string_view stored) { return stored == c.scratch; });
        if (p.found.found)
            name.reported =
                pairFamilies(c, name.line, s.code, upperCase(s.code), lineFound(*c.index, p.found));
    }
    c.spellings.clear();
}

void checkFamilyName(Checker& c, NumberedLine line, std::string_view code) {
    bool ascii = true, upper = false;
    for (char ch : code) {
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
        upper = upper || (ch >= 'A' && ch <= 'Z');
    }
    if (ascii && !upper) return;
    // Looked up once the index is there (note [index beside the lines]).
    if (lowerSpellingInto(c.scratch, code)) // «ſ» and «ı» too, whose families are «S» and «I»
        c.spellings.push_back({hashOfText(c.scratch), c.familyNames.size(), code});
    c.scratch.clear();
    appendUpperCase(c.scratch, code);
    c.familyNames.push_back({hashOfText(c.scratch), line.number, 0});
}

// Family names met before, by hash; each line not paired yet is held against
// the first line of its name.
void checkFamilyNames(Checker& c) {
    lookUpSpellings(c);
    auto& names = c.familyNames;
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.line < b.line;
    });
    for (std::size_t i = 1, first = 0; i < names.size(); ++i) {
        if (names[i].hash != names[first].hash) {
            first = i;
        } else if (!names[i].reported) {
            std::string_view code = codeOfLine(c, names[i].line);
            pairFamilies(c, names[i].line, code, upperCase(code), names[first].line);
        }
    }
    std::vector<Checker::FamilyName>().swap(names);
}

// Codes an earlier line has (found while indexing), whatever else is wrong with
// their lines: placed before every other diagnostic, as each is the first thing
// said of its line.
void warnDuplicates(Checker& c) {
    std::vector<Diagnostic> others;
    others.swap(c.out);
    for (const auto& [number, first] : c.index->duplicates) {
        ReadLine r = readLineAt(c.text, number);
        if (r.read != LineRead::Line) continue;
        const NumberedLine line = r.line;
        std::string_view lookedUp = lookUpCode(line);
        // Two lines of one code that both declare a family declare it twice.
        auto family = [](std::string_view t) {
            std::string_view type = findColumn(2, t).text;
            return type == "0" || type == "1" || type == "2";
        };
        std::optional<NumberedLine> there = lineAt(c.text, first);
        std::string_view code = findColumn(1, line.text).text;
        bool twice = there && family(line.text) && family(there->text) &&
                     findColumn(1, there->text).text == code;
        add(c, placeOf(line, lookedUp), Severity::Warning,
            "code " + quoted(lookedUp) + " is also on line " + std::to_string(first) +
                ": look-ups find only that first line" +
                (twice ? ", and the family file declares " + quoted("FAMILY " + upperCase(code)) +
                             " twice"
                       : ""));
    }
    c.out.insert(c.out.end(), std::make_move_iterator(others.begin()),
                 std::make_move_iterator(others.end()));
}

void checkLine(Checker& c, const ReadLine& r) {
    const NumberedLine line = r.line;
    if (r.read == LineRead::Invalid) {
        c.invalidLines.push_back(line.number);
        addFailure(c, makeFailure(FailureKind::InvalidBytes, {line.number, r.invalidColumn}), {});
        return;
    }
    std::string_view t = line.text;
    const std::array<Column, 5> columns = findColumns(t);
    const Column& first = columns[0];
    if (std::size_t open = findByte(t, '('); open != std::string_view::npos) {
        std::string_view rest = t.substr(open + 1);
        std::string_view looked = rest.substr(0, findByte(rest, ','));
        std::size_t from = looked.find_first_not_of(" \t");
        if (from != std::string_view::npos) {
            std::string_view bare = looked.substr(from, looked.find_last_not_of(" \t") + 1 - from);
            if (bare.size() < looked.size()) c.codesWithBlanks.emplace(bare, line.number);
        }
        if (first.fault == ColumnFault::None && !first.text.empty() && first.text != looked)
            c.codesNotLookedUp.emplace(first.text, line.number);
    }
    if (line.number == 1 && t.substr(0, 3) == "\xEF\xBB\xBF")
        add(c, {1, 1}, Severity::Warning,
            "the register begins with a byte order mark, «\\ufeff»: fagen reads it as the first "
            "character of the first line");
    if (!t.empty() && t.back() == '\r' && c.crLines++ == 0)
        c.firstCr = placeOf(line, t.substr(t.size() - 1));
    const Column& type = columns[1];
    if (type.fault != ColumnFault::None) {
        addFailure(c, *failureOfColumn(type, line, 2), {line.number, 1});
        return;
    }
    std::string_view code = first.text;
    if (type.text == "0") {
        checkBasic(c, line, columns);
        checkFamilyName(c, line, code);
    } else if (type.text == "1" || type.text == "2") {
        const Column& expr = columns[2];
        if (expr.fault != ColumnFault::None) {
            c.lateError.insert(line.number);
            addFailure(c, *failureOfColumn(expr, line, 3), {line.number, 1});
            return;
        }
        checkEmptyColumns(c, line, columns, 3);
        if (!isIdentifier(code)) checkName(c, placeOf(line, code), upperCase(code), "FAMILY");
        std::size_t before = c.out.size();
        checkEncodable(c, line, code, true, "the code");
        if (c.out.size() > before) c.lateError.insert(line.number);
        checkFamilyName(c, line, code);
        c.composites.push_back({expr.text, placeOf(line, expr.text)});
    } else {
        checkEmptyColumns(c, line, columns, 2);
        c.otherTypes.emplace(line.number, type.text);
        std::string hint = trimmed(type.text);
        // The letters that look like the digits: «O» for 0, «l» or «I» for 1.
        if (hint == "O" || hint == "o") hint = "0";
        if (hint == "l" || hint == "I") hint = "1";
        add(c, placeOf(line, type.text), Severity::Warning,
            "type " + quoted(type.text) + " is neither 0, 1 nor 2: the line gets no output" +
                (hint == "0" || hint == "1" || hint == "2" ? "; did you mean «" + hint + "»?"
                                                           : ""));
    }
}

// ---- How fagen reads an expression ----

bool isOperatorWord(std::u32string_view w) {
    return w == U"+" || w == U".";
}

// The words of the text read as a well-formed prefix term: how many it takes,
// or 0 when an operand is missing.
std::size_t wordsOfTerm(const std::vector<std::u32string_view>& words) {
    std::size_t needed = 1, used = 0;
    while (needed > 0 && used < words.size())
        needed += isOperatorWord(words[used++]) ? 1 : -1;
    return needed == 0 ? used : 0;
}

std::vector<std::u32string_view> wordsIn(const TermGraph& g, std::vector<std::size_t>& starts) {
    std::vector<std::u32string_view> words;
    starts.clear();
    for (std::size_t w = nextWord(g, 0); w < g.text.size(); w = nextWord(g, wordEnd(g, w))) {
        words.emplace_back(g.text.data() + w, wordEnd(g, w) - w);
        starts.push_back(w);
    }
    return words;
}

// Calls visit(c) for each character of fagen's reading of the whole term, the
// operator and its two operands, until visit returns false.
template <class Visit> bool forEachReadChar(TermGraph& g, const TermReading& r, Visit visit) {
    return visit(r.op) && visit(U' ') && forEachChar(g, r.left, visit) && visit(U' ') &&
           forEachChar(g, r.right, visit);
}

// Where the reading goes wrong: the first tab or other white space that is not
// a blank, the first blank after another or at the start, or an operator
// character directly followed by more of its word.
std::size_t misplacingAt(const TermGraph& g) {
    const std::size_t n = g.text.size();
    for (std::size_t p = 0; p < n; ++p) {
        char32_t ch = g.text[p];
        if (isWhiteSpace(ch) && (ch != U' ' || p == 0 || isWhiteSpace(g.text[p - 1]))) return p;
        if ((ch == U'+' || ch == U'.') && p + 1 < n && !isWhiteSpace(g.text[p + 1]) &&
            (p == 0 || isWhiteSpace(g.text[p - 1])))
            return p;
    }
    return 0;
}

// stopped: the term has an error of its own.
void checkReading(Checker& c, bool stopped) {
    TermGraph& g = c.context.graph;
    const TermReading& r = c.context.reading;
    if (r.left == noNode || r.right == noNode) return;
    std::vector<std::size_t> starts;
    std::vector<std::u32string_view> words = wordsIn(g, starts);
    // eval takes the first character of a constant expression for its operator,
    // whatever follows it: «+0 1» is meant as it reads.
    if (r.whole == Decision::Eval && !words.empty() && words[0].size() > 1 &&
        isOperatorWord(words[0].substr(0, 1))) {
        words.insert(words.begin() + 1, words[0].substr(1));
        words[0] = words[0].substr(0, 1);
        starts.insert(starts.begin() + 1, starts[0] + 1);
    }
    std::size_t used = wordsOfTerm(words);
    // The words as a term, written in normal form, against fagen's reading.
    std::u32string intended;
    for (std::size_t i = 0; i < used; ++i) {
        if (i > 0) intended += U' ';
        intended += words[i];
    }
    std::uint64_t readLength = std::uint64_t{3} + g.nodes[r.left].length + g.nodes[r.right].length;
    bool same = used > 0 && readLength == intended.size();
    if (same) {
        std::size_t i = 0;
        same = forEachReadChar(g, r, [&](char32_t ch) { return intended[i++] == ch; });
    }
    if (!same) {
        std::string form;
        std::size_t chars = 0;
        forEachReadChar(g, r, [&](char32_t ch) {
            if (chars++ == 61) return false;
            appendChar(form, ch);
            return true;
        });
        add(c, placeAt(g, misplacingAt(g)), Severity::Warning,
            "fagen reads this term as " + quoted(form) +
                ": it finds an operand by the length of the one before it, so an extra blank, a "
                "tab or a "
                "missing blank shifts it");
        return;
    }
    // An operator written against its operand («+0»), or another operator
    // («*»), inside the term stops fagen there: the words after it are not
    // ignored but part of what the error mends.
    auto stuck = [](std::u32string_view w) {
        return (w.size() > 1 && (w[0] == U'+' || w[0] == U'.')) ||
               (w.size() == 1 && std::u32string_view(U"*&|-^/~!").find(w[0]) != w.npos);
    };
    if (stopped &&
        std::any_of(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(used), stuck))
        return;
    if (used < words.size()) {
        std::string rest;
        for (std::size_t i = used; i < words.size() && rest.size() < 200; ++i)
            rest += (i > used ? " " : "") + fromChars(words[i]);
        add(c, placeAt(g, starts[used]), Severity::Warning,
            "text after the first complete term is ignored: " + quoted(rest));
    }
}

// What the codes fagen reads in an expression refer to.
void checkReference(Checker& c, const Composite& k, std::string_view word, Place at,
                    Decision decision, bool whole, const LookedUp& found) {
    // A line found without a type column is an error of its own.
    if (!found.found || found.type == LineType::NoColumnText ||
        found.type == LineType::NoTypeColumn)
        return;
    const std::uint64_t line = lineFound(*c.index, found);
    std::string upper = upperCase(word);
    if (decision == Decision::Blank) {
        auto type = c.otherTypes.find(line);
        add(c, at, Severity::Warning,
            quoted(word) + " has type " + quoted(type == c.otherTypes.end() ? "" : type->second) +
                " (line " + std::to_string(line) + "): it becomes a blank in the expression");
    } else if (found.type == LineType::Composite && whole && upper != word) {
        // «. k 1» would name the family, but not one the feature itself declares,
        // or declares only further down.
        std::string advice = line == k.at.line ? ", and the feature cannot be defined by itself"
                             : line > k.at.line
                                 ? ", declared further down (line " + std::to_string(line) + ")"
                                 : " (write " + quoted(". " + std::string(word) + " 1") + ")";
        add(c, at, Severity::Warning,
            "the expression is the composite " + quoted(word) +
                " alone: fagen writes it as it stands, but its family is named " + quoted(upper) +
                advice);
    } else if (found.type == LineType::Composite && line == k.at.line) {
        add(c, at, Severity::Warning,
            "the expression refers to its own feature: the family file uses " +
                quoted("FAMILY " + upper) + " in its own declaration");
    } else if (found.type == LineType::Composite && line > k.at.line) {
        add(c, at, Severity::Warning,
            quoted(word) + " is a composite defined further down (line " + std::to_string(line) +
                "): the family file uses " + quoted("FAMILY " + upper) + " before declaring it");
    }
}

void checkReferences(Checker& c, const Composite& k) {
    TermGraph& g = c.context.graph;
    const TermReading& r = c.context.reading;
    if (r.whole == Decision::Keep || r.whole == Decision::Blank) {
        if (r.op == U' ')
            checkReference(c, k, k.expression, k.at, r.whole, true, c.context.wholeFound);
        return;
    }
    if (r.whole != Decision::Operator) return;
    const std::vector<Decision>& decisions = c.context.decisions;
    std::vector<bool> seen(g.nodes.size());
    std::unordered_set<std::u32string_view> words;
    std::vector<std::uint32_t> stack;
    for (std::uint32_t root : {r.right, r.left})
        if (root != noNode) stack.push_back(root);
    while (!stack.empty()) {
        std::uint32_t node = stack.back();
        stack.pop_back();
        if (node >= decisions.size() || seen[node]) continue;
        seen[node] = true;
        const TermNode& n = g.nodes[node];
        if (decisions[node] == Decision::Operator) {
            stack.push_back(n.second);
            stack.push_back(n.first);
        } else if (!n.isOperator &&
                   (decisions[node] == Decision::Keep || decisions[node] == Decision::Blank) &&
                   words.insert(wordOf(g, n)).second) {
            checkReference(c, k, fromChars(wordOf(g, n)), placeAt(g, n.first), decisions[node],
                           false, c.context.found[node]);
        }
    }
}

// The same checks for a term expanded from its words (note [plain terms]): its
// reading is the words' own, so only ignored words can be warned of.
void checkPlain(Checker& c, const Composite& k) {
    const auto& words = c.context.plainWords;
    const std::size_t used = words[0].past;
    auto at = [&](std::size_t w) {
        return Place{k.at.line, k.at.column + words[w].begin};
    }; // ASCII
    std::unordered_set<std::string_view> seen;
    for (std::size_t w = 1; w < used; ++w) {
        const auto& word = words[w];
        if (word.op || !word.variable || word.decision == Decision::Eval ||
            word.decision == Decision::Unknown)
            continue;
        // Only a composite, or a line of another type, has something to warn of.
        if (word.found.type != LineType::Composite && word.decision != Decision::Blank) continue;
        std::string_view text = k.expression.substr(word.begin, word.end - word.begin);
        if (seen.insert(text).second)
            checkReference(c, k, text, at(w), word.decision, false, word.found);
    }
    if (used < words.size())
        add(c, at(used), Severity::Warning,
            "text after the first complete term is ignored: " +
                quoted(k.expression.substr(words[used].begin, 200)));
}

// The first character of an expansion the locale's encoding cannot write: an
// operand's code in upper case, or the whole expression kept as written.
void checkExpansionEncodable(Checker& c, const Composite& k, const std::string& expansion) {
    if (!needsEncoding() || canShow(expansion)) return;
    TermGraph& g = c.context.graph;
    const TermReading& r = c.context.reading;
    for (std::size_t p = 0; p < g.text.size(); ++p) {
        char32_t ch = g.text[p];
        if (ch < 0x80) continue;
        std::string one;
        appendChar(one, r.whole == Decision::Keep ? ch : upperChar(ch));
        if (canShow(one)) continue;
        add(c, placeAt(g, p), Severity::Error,
            quoted(one) + " cannot be written in " + localeCodeset() +
                ": fagen stops at the expansion");
        return;
    }
    add(c, k.at, Severity::Error, "the expansion cannot be written in " + localeCodeset());
}

// Stop lines: how many expansions reach each, and the first.
struct Reaches {
    std::vector<std::int64_t> delta; // counts, as differences along the stop lines
    std::vector<std::uint64_t> first;
    std::size_t assigned = 0;
};

void noteReach(Reaches& r, const std::vector<std::uint64_t>& stops, std::uint64_t reach,
               std::uint64_t line) {
    // A search meets every stop line up to the line it finds (a stop line found
    // as if mended is met too).
    auto k = static_cast<std::size_t>(std::upper_bound(stops.begin(), stops.end(), reach) -
                                      stops.begin());
    if (k == 0) return;
    r.delta[0] += 1;
    r.delta[k] -= 1;
    for (; r.assigned < k; ++r.assigned)
        r.first[r.assigned] = line;
}

// A code no feature has that a line writes, but look-ups read otherwise: after
// a «(» before it, or with blanks around it.
std::optional<std::string> missingAsLookUpsRead(const Checker& c, const Failure& f) {
    if (f.kind != FailureKind::CodeMissing) return std::nullopt;
    if (auto w = c.codesNotLookedUp.find(f.subject); w != c.codesNotLookedUp.end())
        return quoted(f.subject) + " is no feature's code as look-ups read codes: line " +
               std::to_string(w->second) +
               " writes it, but a look-up takes the text after the line's first «(», " +
               quoted(lookUpCode(*lineAt(c.text, w->second)));
    if (auto b = c.codesWithBlanks.find(f.subject); b != c.codesWithBlanks.end())
        return quoted(f.subject) + " is no feature's code: line " + std::to_string(b->second) +
               " has " + quoted(lookUpCode(*lineAt(c.text, b->second))) +
               ", with blanks, which look-ups compare too";
    return std::nullopt;
}

// note [checks ahead]: most composites of a large register are plain terms over
// basic features, read without a failure and with nothing to warn of. A second
// thread expands every other chunk of composites on a context of its own and
// keeps, for each such quiet one, only how far its look-ups reached; the checker
// takes that instead of expanding it again. Anything else (a failure, a word to
// warn of, a general reading) the checker does itself, as it would anyway, so
// the diagnostics are those of one thread.
class QuietAhead {
  public:
    static constexpr std::size_t chunk = 512;

    explicit QuietAhead(const Checker& c)
        : c_(c), reach_(c.composites.size()), done_((c.composites.size() / chunk + 1) / 2) {
        if (c.composites.size() > chunk) thread_ = secondThread([this] { work(); });
    }
    QuietAhead(const QuietAhead&) = delete;
    QuietAhead& operator=(const QuietAhead&) = delete;
    ~QuietAhead() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    // How far the look-ups of composite i reached, when it was quiet.
    std::optional<std::uint64_t> quietReach(std::size_t i) {
        const std::size_t id = i / chunk;
        if (!thread_.joinable() || id % 2 == 0) return std::nullopt;
        if (!done_[id / 2].load(std::memory_order_acquire)) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return done_[id / 2].load(std::memory_order_acquire); });
        }
        if (reach_[i] == 0) return std::nullopt;
        return reach_[i] - 1;
    }

  private:
    // Whether checkPlain has nothing to say of the plain term just expanded.
    static bool quiet(const ExpansionContext& x) {
        const auto& words = x.plainWords;
        const std::size_t used = words[0].past;
        if (used < words.size()) return false;
        for (std::size_t w = 1; w < used; ++w) {
            const auto& word = words[w];
            if (word.op || !word.variable || word.decision == Decision::Eval ||
                word.decision == Decision::Unknown)
                continue;
            if (word.found.type == LineType::Composite || word.decision == Decision::Blank)
                return false;
        }
        return true;
    }

    void work() {
        ExpansionContext x = expansionOf(c_.text);
        x.lookUps.index = c_.context.lookUps.index;
        std::vector<Failure> failures;
        x.collect = &failures;
        std::string expansion;
        const BlockList<Composite>& all = c_.composites;
        for (std::size_t id = 1; id * chunk < all.size(); id += 2) {
            for (std::size_t i = id * chunk; i < std::min(all.size(), (id + 1) * chunk); ++i) {
                if (stop_) break;
                failures.clear();
                expansion.clear();
                if (i + 1 < all.size()) prepareTerm(all[i + 1].expression, x);
                try {
                    extendedAssign(all[i].expression, x, expansion, all[i].at);
                } catch (...) {
                    continue; // the checker meets it itself
                }
                if (x.plain && failures.empty() && quiet(x) && x.reach != UINT64_MAX)
                    reach_[i] = x.reach + 1;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_[id / 2].store(true, std::memory_order_release);
            }
            changed_.notify_all();
        }
    }

    const Checker& c_;
    ZeroedArray<std::uint64_t> reach_;    // by composite: its reach + 1 when quiet, else 0
    std::vector<std::atomic<bool>> done_; // by odd chunk
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::jthread thread_;
};

void checkComposites(Checker& c) {
    const std::vector<std::uint64_t>& stops = c.index->stopLines;
    Reaches reaches{std::vector<std::int64_t>(stops.size() + 1),
                    std::vector<std::uint64_t>(stops.size()), 0};
    std::vector<Failure> failures;
    std::string expansion;
    c.context.collect = &failures;
    QuietAhead ahead(c);
    for (std::size_t i = 0; i < c.composites.size(); ++i) {
        const Composite& k = c.composites[i];
        if (std::optional<std::uint64_t> reach = ahead.quietReach(i)) {
            noteReach(reaches, stops, *reach, k.at.line);
            continue;
        }
        failures.clear();
        expansion.clear();
        bool read = true;
        if (i + 1 < c.composites.size()) prepareTerm(c.composites[i + 1].expression, c.context);
        try {
            extendedAssign(k.expression, c.context, expansion, k.at);
        } catch (Failure& f) {
            failures.push_back(std::move(f));
            read = false;
        }
        noteReach(reaches, stops, c.context.reach, k.at.line);
        const std::size_t errorsBefore = c.out.size();
        std::unordered_set<std::uint64_t> shown; // column and kind of each error of this composite
        for (const Failure& f : failures) {
            // note [root causes]; a line found without a type column is an error of its own.
            if (f.kind == FailureKind::LookUpStopped || f.kind == FailureKind::InvalidBytes ||
                f.kind == FailureKind::EndOfFile)
                continue;
            if ((f.kind == FailureKind::ColumnText || f.kind == FailureKind::ColumnMissing) &&
                f.place.line != k.at.line)
                continue;
            if (!shown.insert(f.place.column << 8 | static_cast<std::uint64_t>(f.kind)).second)
                continue;
            if (std::optional<std::string> why = missingAsLookUpsRead(c, f)) {
                add(c, f.place, Severity::Error, std::move(*why));
                continue;
            }
            addFailure(c, f, k.at);
        }
        if (c.context.plain) {
            checkPlain(c, k);
            continue;
        }
        checkReading(c, !read || c.out.size() > errorsBefore);
        checkReferences(c, k);
        if (read && failures.empty()) checkExpansionEncodable(c, k, expansion);
    }
    c.context.collect = nullptr;
    std::int64_t count = 0;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        count += reaches.delta[i];
        const std::uint64_t s = stops[i];
        bool isError = std::binary_search(c.lineErrors.begin(), c.lineErrors.end(), s);
        if (count == 0) {
            if (!isError)
                add(c, {s, 1}, Severity::Warning,
                    "this line has no «(»: no look-up by code reaches it now, but one that did "
                    "would stop here");
            continue;
        }
        if (!isError)
            add(c, {s, 1}, Severity::Error,
                explain(makeFailure(FailureKind::LookUpStopped), c.explainer));
        std::string first = std::to_string(reaches.first[i]);
        std::string which = count == 1
                                ? "the expansion on line " + first
                                : std::to_string(count) + " expansions, the first on line " + first;
        bool invalid = std::binary_search(c.invalidLines.begin(), c.invalidLines.end(), s);
        add(c, {s, 1}, Severity::Note,
            invalid ? "look-ups by code read these bytes too: they end here, and with them " + which
                    : std::string(isError ? "this line has no «(»: " : "") +
                          "look-ups by code end here, and with them " + which);
    }
}

} // namespace

std::vector<Diagnostic> lintRegister(const RegisterText& text) {
    Checker c;
    c.text = text;
    c.context = expansionOf(text);
    // note [index beside the lines]: the lines' own checks need no index but for
    // the duplicates it finds and the spellings looked up in it, which wait until
    // after them; so a second thread reads the register as they take its lines
    // (note [reading ahead]), then builds the index while they run. Where it
    // could not read it all, it waits until they have.
    std::shared_ptr<const RegisterIndex> index;
    std::exception_ptr indexFailure;
    bool reads = startReadingAhead(text);
    if (!reads)
        countLines(text); // a pipe, say: read here, so the other thread only reads what is read
    std::atomic<bool> stop{false}, linesRead{false};
    auto build = [&] {
        try {
            if (reads && !readOnAhead(text, stop)) linesRead.wait(false);
            index = std::make_shared<const RegisterIndex>(indexRegister(text, true));
        } catch (...) {
            indexFailure = std::current_exception();
        }
    };
    std::jthread builder = secondThread(build);
    if (!builder.joinable() && std::exchange(reads, false)) readOnAhead(text, stop);
    struct LinesRead { // told when the lines have been read, or their reading failed
        std::atomic<bool>& stop;
        std::atomic<bool>& done;
        ~LinesRead() {
            stop = true;
            done = true;
            done.notify_all();
        }
    };
    c.explainer = {text, nullptr, nullptr}; // no failure of a line's own needs the index
    {
        LinesRead told{stop, linesRead};
        RegisterHandle h = readRegister(text);
        for (ReadLine r; (r = readLine(h)).read != LineRead::End;)
            checkLine(c, r);
    }
    if (builder.joinable())
        builder.join();
    else
        build();
    if (indexFailure) std::rethrow_exception(indexFailure);
    c.context.lookUps.index = index;
    c.index = &*index;
    c.near = nearestCodesOf(*c.index);
    c.explainer = {text, c.index, &c.near};
    warnDuplicates(c);
    if (c.crLines > 0)
        add(c, c.firstCr, Severity::Warning,
            "CR LF line ends (" + std::to_string(c.crLines) +
                (c.crLines == 1 ? " line" : " lines") +
                "): the carriage return becomes part of each line's last column");
    for (const Diagnostic& d : c.out)
        if (d.severity == Severity::Error && !c.lateError.count(d.line))
            c.lineErrors.push_back(d.line);
    std::sort(c.lineErrors.begin(), c.lineErrors.end());
    checkFamilyNames(c);
    checkComposites(c);
    std::stable_sort(c.out.begin(), c.out.end(), [](const Diagnostic& a, const Diagnostic& b) {
        if (a.line != b.line) return a.line < b.line;
        bool aNote = a.severity == Severity::Note, bNote = b.severity == Severity::Note;
        if (aNote != bNote) return bNote; // a line's notes follow its other diagnostics
        return a.column < b.column;
    });
    return std::move(c.out);
}

std::string formatDiagnostic(const std::string& path, const Diagnostic& d) {
    static const std::array<const char*, 3> names = {": error: ", ": warning: ", ": note: "};
    std::string out;
    appendShown(out, textOfBytes(path));
    return out + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
           names[static_cast<std::size_t>(d.severity)] + d.text;
}

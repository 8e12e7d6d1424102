#include "explain/Explain.hpp"

#include "base/Text.hpp"
#include "register/RegisterLine.hpp"
#include "terms/StringParsing.hpp"

#include <optional>

namespace {

// The byte offset of a column (from 1, in characters) of a line.
std::size_t offsetOf(std::string_view line, std::uint64_t column) {
    std::size_t pos = 0;
    for (std::uint64_t c = 1; c < column && pos < line.size(); ++c)
        nextChar(line, pos);
    return pos;
}

std::string nearText(Explainer& e, std::string_view code) {
    if (!e.near) return "";
    std::vector<std::string> near = nearestCodes(*e.near, code);
    if (near.empty()) return "";
    std::string text = "; did you mean ";
    for (std::size_t i = 0; i < near.size(); ++i)
        text += (i == 0 ? "" : i + 1 == near.size() ? " or " : ", ") + quoted(near[i]);
    return text + "?";
}

bool isLastLine(const RegisterText& text, std::uint64_t line) {
    return !lineAt(text, line + 1);
}

std::string columnText(const Failure& f, const std::optional<NumberedLine>& line,
                       const RegisterText& text) {
    const std::string& column = f.detail;
    std::string_view t = line ? line->text : std::string_view();
    if (f.kind == FailureKind::ColumnText) {
        if (t.empty() && line)
            return isLastLine(text, line->number) ? "an empty last line (the file ends in two line "
                                                    "feeds): every line needs a type column"
                                                  : "an empty line: every line needs a type column";
        if (column == "type" || column == "code")
            return "no text is left for the type column: the line holds only parentheses, or "
                   "nothing "
                   "follows the code's «,»";
        return "no text is left for the " + column +
               " column: nothing but parentheses follows the last «,»";
    }
    // A column lost because the one before it is empty: the search for the end of
    // a column starts at its second character (see fagen-lint(1)).
    // Any empty column before it loses one: «(,0,a,b)» has no description.
    for (int n = 2; n <= 4; ++n) {
        if (column != columnName(n)) continue;
        for (int m = 1; m < n; ++m) {
            Column before = findColumn(m, t);
            if (before.fault != ColumnFault::None || !before.text.empty()) continue;
            return std::string("the ") + columnName(m) +
                   " column is empty, so fagen's search for its end passes over "
                   "the «,» after it: no " +
                   column + " column is left" +
                   (column == "description"
                        ? " (a basic feature needs (code,0,expression,description))"
                        : "");
        }
    }
    if (column == "type") return "no type column: no «,» follows the code";
    if (column == "expression")
        return "a composite feature needs an expression column: no «,» follows the type";
    if (column == "description") {
        return "a basic feature needs a description column: fagen writes it into the basic "
               "declarations file";
    }
    return "no " + column + " column";
}

// A word that was probably meant as an operator, such as «*» or «-».
bool otherOperator(std::string_view w) {
    return w.size() == 1 && std::string_view("*&|-^/~!").find(w[0]) != std::string_view::npos;
}

const char* const operatorsAre = " (the operators are «+» and «.»)";

// The advice for a term written with its operator between the operands, as
// «a + b»: fagen reads terms operator first. Empty for any other text.
std::string infixAdvice(std::string_view t) {
    std::string words[3];
    std::size_t n = 0;
    bool inWord = false;
    for (std::size_t pos = 0; pos < t.size();) {
        std::size_t at = pos;
        if (isWhiteSpace(nextChar(t, pos))) {
            inWord = false;
        } else {
            if (!inWord && n++ == 3) break;
            inWord = true;
            words[n - 1].append(t.substr(at, pos - at));
        }
    }
    auto operand = [](const std::string& w) { return w[0] != '+' && w[0] != '.'; };
    if (n < 3 || (words[1] != "+" && words[1] != ".") || !operand(words[0]) || !operand(words[2]))
        return "";
    return " (terms are written operator first: " +
           quoted(words[1] + " " + words[0] + " " + words[2]) + ")";
}

// The advice for an operator written against what follows it, such as «+a».
std::string stuckOperator(std::string_view word) {
    return quoted(word) + " reads as «" + std::string(word.substr(0, 1)) + "» applied to " +
           quoted(word.substr(1)) + ": put a blank after the operator";
}

// The word ends its line in «)» and a carriage return: the «)» the column
// getter removes from a line's end stays, since the CR comes after it.
bool keepsLastParenthesis(const Failure& f, const Explainer& e) {
    std::string_view w = f.subject;
    if (!w.empty() && w.back() == '\r') w.remove_suffix(1);
    if (w.empty() || w.back() != ')' || f.place.line == 0 || !e.text.content) return false;
    // Only where the «)» is all that is wrong: a code, 0 or 1 without it.
    std::string_view mended = w.substr(0, w.size() - 1);
    if (mended.empty() || (mended != "0" && mended != "1" && !isLettersNumbers(toChars(mended))))
        return false;
    std::optional<NumberedLine> line = lineAt(e.text, f.place.line);
    if (!line || line->text.size() < 2 || line->text.substr(line->text.size() - 2) != ")\r")
        return false;
    return offsetOf(line->text, f.place.column) + w.size() + 1 == line->text.size();
}

std::string untranslatable(const Failure& f, Explainer& e) {
    std::string_view w = f.subject;
    const bool variable = isLettersNumbers(toChars(w));
    if (keepsLastParenthesis(f, e))
        return quoted(w) + " keeps the «)» at the end of the line: a carriage return follows " +
               "it (CR LF line ends), so fagen does not remove it";
    // An operator written against the word, which eval took for an operator:
    // the advice helps when the word would then be read as a code.
    if ((f.detail == "+" || f.detail == ".") && variable)
        return stuckOperator(f.detail + std::string(w));
    if (f.detail == "expression") {
        // eval met the whole expression: empty, or not beginning with 0, 1, + or .
        if (w.empty()) return "an empty expression: there is nothing to translate";
        std::size_t pos = 0;
        if (isWhiteSpace(nextChar(w, pos)))
            return "the expression " + quoted(w) + " begins with white space, " +
                   quoted(w.substr(0, pos)) +
                   ": fagen translates a constant expression from its first character";
        std::size_t end = w.find_last_not_of(' ');
        if (end + 1 < w.size() && (w.substr(0, end + 1) == "0" || w.substr(0, end + 1) == "1"))
            return quoted(w) + " is neither a code nor 0 or 1: it ends in a blank";
        std::size_t word = wordAt(w, 1).size();
        if (word < w.size())
            return "the expression " + quoted(w) + " begins with " + quoted(w.substr(0, word)) +
                   " and goes on: an expression without codes is 0, 1, or begins with + or ." +
                   infixAdvice(w);
    }
    // An atom such as «+a»: eval reads «+» applied to what follows.
    std::size_t ops = 0;
    while (ops < w.size() && (w[ops] == '+' || w[ops] == '.'))
        ++ops;
    if (ops > 0 && ops < w.size()) {
        std::string_view rest = w.substr(ops);
        if (isLettersNumbers(toChars(rest))) return stuckOperator(w);
        return quoted(w) + " reads as «" + std::string(w.substr(0, 1)) + "» applied to " +
               quoted(rest) + ", which " + "is neither a feature's code nor 0 or 1";
    }
    if (variable)
        return quoted(w) +
               " is read as a constant: the expression holds no code as fagen splits it into "
               "words (is an operator written against its operand, as in «+a»?)";
    if (e.index && probe(*e.index, w).found.found)
        return quoted(w) +
               " is a feature's code, but in an expression fagen takes as a code only ASCII "
               "letters "
               "or «_», then digits: it tries to translate " +
               quoted(w) + " as 0 or 1";
    std::u32string chars = toChars(w);
    std::size_t letters = 0;
    while (letters < chars.size() && isLetter(chars[letters]))
        ++letters;
    if (letters > 0 && letters < chars.size() && isDigit(chars[letters]))
        return quoted(w) +
               " is neither a code nor 0 or 1: in an expression a code is ASCII letters or «_», "
               "then digits only";
    if (otherOperator(w))
        return quoted(w) + " is neither a feature's code nor 0 or 1" + operatorsAre;
    return quoted(w) + " is neither a feature's code nor 0 or 1" + nearText(e, w);
}

std::string operandMissing(const Failure& f) {
    if (f.detail == "operator atom") return stuckOperator(f.subject) + " (an operand is missing)";
    std::size_t first = 0;
    if (!f.subject.empty() && isWhiteSpace(nextChar(f.subject, first)))
        return "fagen takes the " + quoted(f.subject) +
               " before the operator for the operator itself, so its " + f.detail +
               " is missing: remove it";
    return quoted(f.subject) + " lacks its " + f.detail;
}

} // namespace

std::string_view wordAt(std::string_view line, std::uint64_t column) {
    std::size_t begin = offsetOf(line, column), end = begin;
    while (end < line.size()) {
        std::size_t next = end;
        if (isWhiteSpace(nextChar(line, next))) break;
        end = next;
    }
    return line.substr(begin, end - begin);
}

std::string quoted(std::string_view text, std::size_t limit) {
    std::string out = "«";
    std::size_t pos = 0, chars = 0;
    while (pos < text.size() && chars < limit) {
        nextChar(text, pos);
        ++chars;
    }
    appendShown(out, text.substr(0, pos));
    if (pos < text.size()) out += "…";
    return out + "»";
}

std::string explain(const Failure& f, Explainer& e) {
    std::optional<NumberedLine> line;
    if (f.place.line != 0 && e.text.content) line = lineAt(e.text, f.place.line);
    switch (f.kind) {
    case FailureKind::ColumnText:
    case FailureKind::ColumnMissing:
        return columnText(f, line, e.text);
    case FailureKind::CodeMissing:
        if (std::string infix = infixAdvice(f.subject); !infix.empty())
            return quoted(f.subject) + " is no feature's code" + infix;
        if (otherOperator(wordAt(f.subject, 1)))
            return quoted(f.subject) + " is no feature's code" + operatorsAre;
        return quoted(f.subject) + " is no feature's code" + nearText(e, f.subject);
    case FailureKind::LookUpStopped:
        return "this line has no «(»: a look-up by code stops here, and so does every expansion "
               "whose "
               "look-ups reach it";
    case FailureKind::OperandMissing:
        return operandMissing(f);
    case FailureKind::TermBlank:
        return "the expression is blank";
    case FailureKind::Untranslatable:
        return untranslatable(f, e);
    case FailureKind::InvalidBytes:
        return "bytes that are not valid " + localeCodeset() + ": fagen stops reading here";
    case FailureKind::CannotEncode:
        return f.subject.empty() ? ""
                                 : quoted(f.subject) + " cannot be written in " + localeCodeset();
    default:
        return "";
    }
}

std::string explainRunFailure(const Failure& f, const RegisterText& text) {
    Explainer e{text, nullptr, nullptr};
    // The codes, for suggestions: a failure of an expansion comes after the
    // register has been read to its end.
    std::optional<RegisterIndex> index;
    std::optional<NearestCodes> near;
    if (f.kind == FailureKind::CodeMissing || f.kind == FailureKind::Untranslatable) {
        index = indexRegister(text);
        near = nearestCodesOf(*index);
        e.index = &*index;
        e.near = &*near;
    }
    return explain(f, e);
}

#pragma once
// One register line, "(code,type,expression,description)", and its columns.
#include "base/Failure.hpp"
#include "base/Text.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct RegisterLineRecord {
    std::string name;
    std::string kind;
    std::string faExpr;
    std::string desc;
};

// A line as a reader holds it: its text and its number in the register (from 1).
// The getters that take one put that place into their failures.
struct NumberedLine {
    std::string_view text;
    std::uint64_t number = 0;
};

// getColumn without failing: the column's text, or which of its two failures
// it meets and where (text is then an empty view at the place of the fault).
enum class ColumnFault : std::uint8_t { None, EmptyText, NoMoreColumns };
struct Column {
    std::string_view text;
    ColumnFault fault = ColumnFault::None;
};
Column findColumn(int n, std::string_view line);
// Columns 1 to 5 at once, each as findColumn finds it (the checker reads them all).
std::array<Column, 5> findColumns(std::string_view line);
// Fails as getColumn does for a fault in column n of line; the failure's
// subject names the column ("code", "type", "expression", "description").
[[noreturn]] void failColumn(const Column& c, NumberedLine line, int n);
// The same failure, not thrown; nothing for a column found.
std::optional<Failure> failureOfColumn(const Column& c, NumberedLine line, int n);
const char* columnName(int n);
// The place of a part of a line (a view into it).
Place placeOf(NumberedLine line, std::string_view part);

// The column with number n (from 1) of a line; see note [column search].
// The result is a view into line.
std::string_view getColumn(int n, std::string_view line);
// Column 1 of a line of the common shape, «(» and a code that starts with
// neither «(» nor «,», then «,»: the text between, found without a call. Lines
// of other shapes: nothing (note [column search]).
inline std::optional<std::string_view> leadingCode(std::string_view line) {
    if (line.size() < 3 || line[0] != '(' || line[1] == '(' || line[1] == ',') return std::nullopt;
    const std::size_t comma = findByte(line, ',', 2);
    if (comma == std::string_view::npos) return std::nullopt;
    return line.substr(1, comma - 1);
}

// The first three columns of a line of the common shape «(code,d,expression,…»:
// the code as leadingCode takes it, d one character other than «(» and «,»,
// the expression starting with neither, and a «,» after it; each what the
// column search gives. Lines of other shapes: nothing.
struct LeadingColumns {
    std::string_view code;
    char type;
    std::string_view expression;
};
inline std::optional<LeadingColumns> leadingColumns(std::string_view line) {
    const std::optional<std::string_view> code = leadingCode(line);
    if (!code) return std::nullopt;
    const std::size_t type = code->size() + 2, from = type + 2;
    if (from >= line.size() || line[type + 1] != ',') return std::nullopt;
    if (line[type] == '(' || line[type] == ',' || line[from] == '(' || line[from] == ',')
        return std::nullopt;
    const std::size_t end = findByte(line, ',', from + 1);
    if (end == std::string_view::npos) return std::nullopt;
    return LeadingColumns{*code, line[type], line.substr(from, end - from)};
}

// Column 4 of a line whose first three columns are `columns` (leadingColumns),
// as the column search gives it; nothing where it has no text. The search
// strips the «(» before it and the «)» at the end of the line, and ends it at
// its first «,» (note [column search]).
inline std::optional<std::string_view> leadingDescription(std::string_view line,
                                                          const LeadingColumns& columns) {
    std::size_t from = static_cast<std::size_t>(columns.expression.data() - line.data()) +
                       columns.expression.size() + 1;
    std::size_t end = line.size();
    while (from < end && line[from] == '(')
        ++from;
    while (from < end && line[end - 1] == ')')
        --end;
    if (from == end) return std::nullopt;
    const std::string_view rest = line.substr(from, end - from);
    return rest.substr(0, findByte(rest, ','));
}

// Inline, like the getters below: a line handed over in memory is read back
// at once, and that read would wait for the caller's stores.
inline std::string_view getColumn(int n, NumberedLine line) {
    if (n == 1)
        if (std::optional<std::string_view> code = leadingCode(line.text)) return *code;
    Column c = findColumn(n, line.text);
    if (c.fault != ColumnFault::None) failColumn(c, line, n);
    return c.text;
}

RegisterLineRecord getTuple(std::string_view line);

// The type of a line, as its type column says; found once per run for every
// line (note [line table]).
enum class LineType : std::uint8_t { Basic, Composite, Other, NoColumnText, NoTypeColumn };
LineType lineTypeOf(std::string_view line);
// A line's type as the type column's getter tests it: fails as that getter does
// on a line without a type column.
LineType checkedType(NumberedLine line, LineType type);

std::string_view getRegisterLineCode(std::string_view line);
std::string_view getRegisterLineType(std::string_view line);
std::string_view getRegisterLineFaExpr(std::string_view line);
std::string_view getRegisterLineDesc(std::string_view line);
inline std::string_view getRegisterLineCode(NumberedLine line) {
    return getColumn(1, line);
}
inline std::string_view getRegisterLineType(NumberedLine line) {
    return getColumn(2, line);
}
inline std::string_view getRegisterLineFaExpr(NumberedLine line) {
    return getColumn(3, line);
}
inline std::string_view getRegisterLineDesc(NumberedLine line) {
    return getColumn(4, line);
}

inline const std::string& name(const RegisterLineRecord& r) {
    return r.name;
}
inline const std::string& kind(const RegisterLineRecord& r) {
    return r.kind;
}
inline const std::string& faExpr(const RegisterLineRecord& r) {
    return r.faExpr;
}
inline const std::string& desc(const RegisterLineRecord& r) {
    return r.desc;
}

RegisterLineRecord setRegisterLineCode(std::string text, RegisterLineRecord r);
RegisterLineRecord setRegisterLineType(std::string text, RegisterLineRecord r);
RegisterLineRecord setRegisterLineFaExpr(std::string text, RegisterLineRecord r);
RegisterLineRecord setRegisterLineDesc(std::string text, RegisterLineRecord r);

#include "register/RegisterLine.hpp"

#include "base/Text.hpp"

// note [column search]: the parentheses are optional and stripped again before
// every column, so a column that begins with "(" loses it and the last column loses
// every trailing ")". The search for the comma that ends a column starts at the
// column's second character, so an empty column also swallows the one after it
// («a,,c,d»: column 3 is «d»). Registers in use depend on both; keep them.
namespace {

// The column at the start of t, its parentheses stripped first; t moves on past
// the «,» that ends it. No more columns follow when that is a fault of its own,
// or, with no «,», the rest of the search is at the end of t.
struct ColumnStep {
    Column column;
    bool more;
};
ColumnStep takeColumn(std::string_view& t) {
    while (!t.empty() && t.front() == '(')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ')')
        t.remove_suffix(1);
    if (t.empty()) return {{t, ColumnFault::EmptyText}, false};
    const std::size_t end = findByte(t, ',');
    const Column column{t.substr(0, end)};
    const std::size_t comma = end == 0 ? findByte(t, ',', 1) : end;
    if (comma == std::string_view::npos) {
        t = t.substr(t.size());
        return {column, false};
    }
    t.remove_prefix(comma + 1);
    return {column, true};
}

// What every column past a step without more is.
Column columnPast(const ColumnStep& last, std::string_view t) {
    return last.column.fault != ColumnFault::None ? last.column
                                                  : Column{t, ColumnFault::NoMoreColumns};
}

} // namespace

Column findColumn(int n, std::string_view t) {
    for (;; --n) {
        ColumnStep step = takeColumn(t);
        if (n <= 1 || step.column.fault != ColumnFault::None) return step.column;
        if (!step.more) return columnPast(step, t);
    }
}

std::array<Column, 5> findColumns(std::string_view t) {
    std::array<Column, 5> columns;
    std::size_t n = 0;
    // The first three columns of a line of the common shape at once; stripping
    // the trailing «)» again before the fourth changes nothing.
    if (const std::optional<LeadingColumns> lead = leadingColumns(t)) {
        const std::size_t type = lead->code.size() + 2, past = type + 3 + lead->expression.size();
        columns[0] = {lead->code};
        columns[1] = {t.substr(type, 1)};
        columns[2] = {lead->expression};
        t.remove_prefix(past);
        n = 3;
    }
    for (; n < columns.size(); ++n) {
        ColumnStep step = takeColumn(t);
        columns[n] = step.column;
        if (step.more) continue;
        for (++n; n < columns.size(); ++n)
            columns[n] = columnPast(step, t);
    }
    return columns;
}

Place placeOf(NumberedLine line, std::string_view part) {
    if (line.number == 0) return {};
    return {line.number, charsBefore(line.text, part.data()) + 1};
}

const char* columnName(int n) {
    static const char* const names[] = {"code", "type", "expression", "description"};
    return n >= 1 && n <= 4 ? names[n - 1] : "column";
}

std::optional<Failure> failureOfColumn(const Column& c, NumberedLine line, int n) {
    if (c.fault == ColumnFault::None) return std::nullopt;
    Place at = placeOf(line, c.text);
    // A column lost because a column before it is empty (note [column search]):
    // the place is the first empty one.
    for (int m = 1; c.fault == ColumnFault::NoMoreColumns && m < n; ++m) {
        Column before = findColumn(m, line.text);
        if (before.fault == ColumnFault::None && before.text.empty()) {
            at = placeOf(line, before.text);
            break;
        }
    }
    return makeFailure(c.fault == ColumnFault::EmptyText ? FailureKind::ColumnText
                                                         : FailureKind::ColumnMissing,
                       at, {}, columnName(n));
}

void failColumn(const Column& c, NumberedLine line, int n) {
    throw *failureOfColumn(c, line, n);
}

std::string_view getColumn(int n, std::string_view line) {
    return getColumn(n, NumberedLine{line, 0});
}

RegisterLineRecord getTuple(std::string_view line) {
    return {std::string(getColumn(1, line)), std::string(getColumn(2, line)),
            std::string(getColumn(3, line)), std::string(getColumn(4, line))};
}

std::string_view getRegisterLineCode(std::string_view line) {
    return getColumn(1, line);
}
std::string_view getRegisterLineType(std::string_view line) {
    return getColumn(2, line);
}
std::string_view getRegisterLineFaExpr(std::string_view line) {
    return getColumn(3, line);
}
std::string_view getRegisterLineDesc(std::string_view line) {
    return getColumn(4, line);
}

RegisterLineRecord setRegisterLineCode(std::string text, RegisterLineRecord r) {
    r.name = std::move(text);
    return r;
}
RegisterLineRecord setRegisterLineType(std::string text, RegisterLineRecord r) {
    r.kind = std::move(text);
    return r;
}
RegisterLineRecord setRegisterLineFaExpr(std::string text, RegisterLineRecord r) {
    r.faExpr = std::move(text);
    return r;
}
RegisterLineRecord setRegisterLineDesc(std::string text, RegisterLineRecord r) {
    r.desc = std::move(text);
    return r;
}

LineType checkedType(NumberedLine line, LineType type) {
    if (type == LineType::NoColumnText || type == LineType::NoTypeColumn) getColumn(2, line);
    return type;
}

LineType lineTypeOf(std::string_view line) {
    // The common shape, «(code,d,…» with d one digit after a code that starts with
    // neither «(» nor «,»: the type column is d whatever follows (note [column search]).
    if (std::optional<std::string_view> code = leadingCode(line)) {
        const std::size_t comma = code->size() + 1;
        if (comma + 2 < line.size() && line[comma + 2] == ',') {
            if (line[comma + 1] == '0') return LineType::Basic;
            if (line[comma + 1] == '1' || line[comma + 1] == '2') return LineType::Composite;
        }
    }
    Column type = findColumn(2, line);
    if (type.fault == ColumnFault::EmptyText) return LineType::NoColumnText;
    if (type.fault == ColumnFault::NoMoreColumns) return LineType::NoTypeColumn;
    if (type.text == "0") return LineType::Basic;
    if (type.text == "1" || type.text == "2") return LineType::Composite;
    return LineType::Other;
}

#include "register/RegisterLine.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>

namespace {

struct ColumnRow {
    const char* line;
    int column;
    const char* want; // the column's text, or the failure message
};

// Columns as the getters see them: parentheses stripped again before every
// column, nothing trimmed, the search for the end starting at the second character.
const ColumnRow columnRows[] = {
    {"(F1,0,F1,front light)", 1, "F1"},
    {"(F1,0,F1,front light)", 2, "0"},
    {"(F1,0,F1,front light)", 3, "F1"},
    {"(F1,0,F1,front light)", 4, "front light"},
    {"F1,0,F1,front light", 4, "front light"},
    {"((F1,0,F1,front light))", 1, "F1"},
    {"((F1,0,F1,front light))", 4, "front light"},
    {"(F1, 0, F1, front light)", 2, " 0"},
    {"(F1, 0, F1, front light)", 4, " front light"},
    {"(F1,0,F1,light, front)", 4, "light"},
    {"(F1,0,F1,front (left))", 4, "front (left"},
    {"(F1,1,(a),x)", 3, "a)"},
    {"(a,b)", 1, "a"},
    {"(a,b)", 2, "b"},
    {",b,c,d", 1, ""},
    {",b,c,d", 2, "c"},
    {"a,,c,d", 2, ""},
    {"a,,c,d", 3, "d"},
    {"(F1,0,F1,x)\r", 4, "x)\r"},
    {"(a,b,c,d)))", 4, "d"},
    {"(é,0,é,ü)", 1, "é"},
    {"(é,0,é,ü)", 4, "ü"},
    {"(a,0,b,(d))", 4, "d"},
    {"(a,0,b,((c)", 4, "c"},
    {"(a,0,b,,d)", 4, ""},
    {"(a,0,b,(,x)", 4, ""},
    // The failures: no text left to examine, and no further column.
    {"", 1, msg::columnPattern},
    {"()", 1, msg::columnPattern},
    {"(((", 2, msg::columnPattern},
    {"(a,b,)", 3, msg::columnPattern},
    {"(a,b,)", 4, msg::columnPattern},
    {"(a,0,b,)))", 4, msg::columnPattern},
    {"(a,b)", 3, msg::tailOfEmpty},
    {"(a)", 2, msg::tailOfEmpty},
    {"(a,", 2, msg::columnPattern},
    {"(,)", 1, ""},
    {"(,)", 2, msg::tailOfEmpty},
    // Lines of the common shape «(code,d,…», and near it.
    {"(a,0,)", 2, "0"},
    {"(a,1,b", 2, "1"},
    {"(a,2)", 2, "2"},
    {"()a,0,b", 1, ")a"},
    {"(a,00,b)", 2, "00"},
    {"(a,3,b)", 2, "3"},
    {"(,0,b)", 2, "b"},
    {"((a,1,b)", 2, "1"},
    {"((,0,b)", 2, "b"},
    {"(a,(1,b)", 2, "1"},
    {"(ab,1,", 2, "1"},
    {"(a,1,,x)", 3, ""},
    {"(a,1,(b),x)", 3, "b)"},
    {"(a,(,b,c)", 3, "c"},
    {"(a,),b,c)", 3, "b"},
    {"(a,1,b)", 3, "b"},
    {"(a,1,b,)", 3, "b"},
    {"(a,1,b c,d)", 3, "b c"},
};

// The type a line's type column gives.
LineType typeOfColumn(std::string_view line) {
    const Column type = findColumn(2, line);
    if (type.fault == ColumnFault::EmptyText) return LineType::NoColumnText;
    if (type.fault == ColumnFault::NoMoreColumns) return LineType::NoTypeColumn;
    if (type.text == "0") return LineType::Basic;
    return type.text == "1" || type.text == "2" ? LineType::Composite : LineType::Other;
}

TEST(RegisterLine, getColumnTable) {
    for (const ColumnRow& row : columnRows) {
        std::string got;
        std::string failure = failureOf([&] { got = getColumn(row.column, row.line); });
        EXPECT_EQ(failure.empty() ? got : failure, row.want)
            << "column " << row.column << " of «" << row.line << "»";
    }
}

// All five columns at once, and the leading columns of a line of the common
// shape, are each column as found alone: the same view (so the same
// place) and the same fault, on every line of the table; and a line's type is
// what its type column says.
TEST(RegisterLine, findColumnsIsFindColumnForEach) {
    auto same = [](const Column& a, const Column& b) {
        return a.text.data() == b.text.data() && a.text.size() == b.text.size() &&
               a.fault == b.fault;
    };
    for (const ColumnRow& row : columnRows) {
        const std::string_view line = row.line;
        const std::array<Column, 5> all = findColumns(line);
        for (int n = 1; n <= 5; ++n) {
            const Column alone = findColumn(n, line);
            EXPECT_TRUE(same(all[n - 1], alone)) << "column " << n << " of «" << row.line << "»";
        }
        EXPECT_EQ(lineTypeOf(line), typeOfColumn(line)) << row.line;
        if (std::optional<std::string_view> code = leadingCode(line)) {
            EXPECT_TRUE(same({*code}, findColumn(1, line))) << row.line;
        }
        if (std::optional<LeadingColumns> three = leadingColumns(line)) {
            EXPECT_TRUE(same({three->code}, findColumn(1, line)) &&
                        findColumn(2, line).text == std::string(1, three->type) &&
                        same({three->expression}, findColumn(3, line)))
                << row.line;
            if (std::optional<std::string_view> desc = leadingDescription(line, *three))
                EXPECT_TRUE(same({*desc}, findColumn(4, line))) << row.line;
            else
                EXPECT_EQ(findColumn(4, line).fault, ColumnFault::EmptyText) << row.line;
        }
    }
}

// Each getter works out only its own column.
TEST(RegisterLine, gettersTakeOnlyTheirOwnColumn) {
    const std::string line = "(A,0)";
    EXPECT_EQ(getRegisterLineCode(line), "A");
    EXPECT_EQ(getRegisterLineType(line), "0");
    EXPECT_EQ(failureOf([&] { getRegisterLineFaExpr(line); }), msg::tailOfEmpty);
    EXPECT_EQ(failureOf([&] { getRegisterLineDesc(line); }), msg::tailOfEmpty);
    EXPECT_EQ(failureOf([&] { getTuple(line); }), msg::tailOfEmpty);
}

// A record is a plain value: a setter gives a new one and leaves the given
// record as it was, whichever field it sets.
TEST(RegisterLine, settersReturnNewRecords) {
    const RegisterLineRecord r = getTuple("(F1,0,F1,front light)");
    const RegisterLineRecord changed[] = {setRegisterLineCode("x", r), setRegisterLineType("x", r),
                                          setRegisterLineFaExpr("x", r),
                                          setRegisterLineDesc("x", r)};
    for (int field = 0; field < 4; ++field) {
        const RegisterLineRecord& c = changed[field];
        const std::string got[] = {name(c), kind(c), faExpr(c), desc(c)};
        const std::string was[] = {"F1", "0", "F1", "front light"};
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(got[k], k == field ? "x" : was[k]) << field << "/" << k;
    }
    EXPECT_EQ(desc(r), "front light");
}

} // namespace

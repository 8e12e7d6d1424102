#pragma once
// One register line, "(code,type,expression,description)", and its columns.
#include <string>
#include <string_view>

struct RegisterLineRecord {
    std::string name;
    std::string kind;
    std::string faExpr;
    std::string desc;
};

// The column with number n (from 1) of a line; see note [column search].
// The result is a view into line.
std::string_view getColumn(int n, std::string_view line);

// getColumn without failing: what it finds, or which of its two failures it meets.
enum class ColumnFault { None, EmptyText, NoMoreColumns };
struct Column {
    std::string_view text;
    ColumnFault fault = ColumnFault::None;
};
Column findColumn(int n, std::string_view line);
// Fails with the message of a column fault.
[[noreturn]] void failColumn(ColumnFault fault);

RegisterLineRecord getTuple(std::string_view line);

std::string_view getRegisterLineCode(std::string_view line);
std::string_view getRegisterLineType(std::string_view line);
std::string_view getRegisterLineFaExpr(std::string_view line);
std::string_view getRegisterLineDesc(std::string_view line);

inline const std::string& name(const RegisterLineRecord& r) { return r.name; }
inline const std::string& kind(const RegisterLineRecord& r) { return r.kind; }
inline const std::string& faExpr(const RegisterLineRecord& r) { return r.faExpr; }
inline const std::string& desc(const RegisterLineRecord& r) { return r.desc; }

RegisterLineRecord setRegisterLineCode(std::string text, RegisterLineRecord r);
RegisterLineRecord setRegisterLineType(std::string text, RegisterLineRecord r);
RegisterLineRecord setRegisterLineFaExpr(std::string text, RegisterLineRecord r);
RegisterLineRecord setRegisterLineDesc(std::string text, RegisterLineRecord r);

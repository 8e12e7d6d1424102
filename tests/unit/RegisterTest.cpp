#include "register/Register.hpp"

#include "TestSupport.hpp"
#include "driver/Main.hpp"
#include "register/RegisterIndex.hpp"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> readingLoop(RegisterHandle h) {
    std::vector<std::string> lines;
    while (!isEndOfRegister(h))
        lines.push_back(getALine(h));
    return lines;
}

// The reading loop: LF ends a line, a CR stays, a last line may lack its LF,
// an empty file has no line; the same from a file and from memory.
TEST(Register, readingLoopSplitsAtLineFeedsOnly) {
    TempDir dir;
    const struct {
        std::string content;
        std::vector<std::string> lines;
    } rows[] = {
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n",
         {"(A,0,A,motor)", "(B,0,B,light)", "(C,1,A,both)"}},
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)",
         {"(A,0,A,motor)", "(B,0,B,light)", "(C,1,A,both)"}},
        {"", {}},
        {"\n", {""}},
        {"\n\n", {"", ""}},
        {"a\r\nb\r\n", {"a\r", "b\r"}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {std::string(200000, 'x') + "\ny", {std::string(200000, 'x'), "y"}},
        {"a\n" + std::string(70000, 'y') + "\nb", {"a", std::string(70000, 'y'), "b"}},
    };
    for (const auto& row : rows) {
        writeFile(dir.file("reg"), row.content);
        EXPECT_EQ(readingLoop(readRegister(dir.file("reg"))), row.lines);
        EXPECT_EQ(readingLoop(readRegister(registerTextOf(row.content))), row.lines);
        // A FIFO is read in the pieces the writer gives, across the text's blocks.
        ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
        RegisterText fifo = openRegisterText(dir.file("fifo"));
        int writer = ::open(dir.file("fifo").c_str(), O_WRONLY);
        std::thread feed([&] {
            for (std::size_t done = 0; done < row.content.size();) {
                std::size_t piece = std::min<std::size_t>(row.content.size() - done, 1000);
                ssize_t n = ::write(writer, row.content.data() + done, piece);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            ::close(writer);
        });
        EXPECT_EQ(readingLoop(readRegister(fifo)), row.lines);
        feed.join();
        EXPECT_EQ(readingLoop(readRegister(fifo)), row.lines)
            << "a second handle reads the same lines";
        std::filesystem::remove(dir.file("fifo"));
    }
}

TEST(Register, readingFailures) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    EXPECT_EQ(failureOf([&] { readRegister(dir.file("absent")); }),
              dir.file("absent") + ": openFile: does not exist (No such file or directory)");
    EXPECT_EQ(failureOf([&] { readRegister(dir.path.string()); }),
              dir.path.string() + ": openFile: inappropriate type (is a directory)");
    writeFile(reg, "");
    EXPECT_EQ(failureOf([&] { getFirstLine(reg); }), reg + ": hGetLine: end of file");
    writeFile(reg, "(a,0,a,x)\n(\xc3\xa9\xff,0,b,x)\n");
    RegisterHandle h = readRegister(reg);
    EXPECT_EQ(getALine(h), "(a,0,a,x)");
    std::optional<Failure> f = failureIn([&] { getALine(h); });
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message, reg + ": hGetLine: invalid argument (invalid byte sequence)");
    EXPECT_EQ(f->place.line, 2u);
    EXPECT_EQ(f->place.column, 3u) << "the first byte that is not UTF-8";
    // goThroughFile reads as getALine does; loadRegister opens as readRegister does.
    RegisterHandle again = loadRegister(reg);
    EXPECT_EQ(goThroughFile(again), "(a,0,a,x)");
    EXPECT_EQ(failureOf([&] { goThroughFile(again); }), f->message);
}

// note [reading ahead]: while a second thread reads the register a piece at a
// time, a walk for the lines of one type takes every one of them. Each basic
// line here crosses into a piece that is read while the walk passes over a
// whole piece of lines of another type, the other thread publishing the next
// piece meanwhile; many rounds, since that depends on timing.
TEST(Register, linesOfATypeWhileReadAhead) {
    TempDir dir;
    constexpr std::size_t piece = std::size_t{1} << 20;
    std::string content;
    std::vector<std::uint64_t> basics;
    std::uint64_t lines = 0;
    for (std::size_t j = 0; j < 4; ++j) {
        for (; content.size() + 4 <= (2 * j + 1) * piece - 8; ++lines)
            content += "x,3\n";
        content += "(b" + std::to_string(j) + ",0,b,basic)\n";
        basics.push_back(++lines);
        // No line ends in the next piece: it is read in a moment.
        content += "(o,3," + std::string((2 * j + 2) * piece + 100 - content.size(), 'x') + ")\n";
        ++lines;
    }
    writeFile(dir.file("reg"), content);
    for (int round = 0; round < 24; ++round) {
        RegisterText text = openRegisterText(dir.file("reg"));
        ASSERT_TRUE(startReadingAhead(text));
        std::atomic<bool> stop{false};
        std::thread reader([&] { readOnAhead(text, stop); });
        RegisterHandle h = readRegister(text);
        std::vector<std::uint64_t> found;
        // Every other round the lines are only counted, in the table.
        std::uint64_t counted = round % 2 ? countLinesOfType(h, LineType::Basic) : basics.size();
        while (std::optional<NumberedLine> line = nextLineOfType(h, LineType::Basic))
            found.push_back(line->number);
        reader.join();
        ASSERT_EQ(counted, basics.size()) << "round " << round;
        if (round % 2 == 0) {
            ASSERT_EQ(found, basics) << "round " << round;
        }
    }
}

// getRegisterLine: the text after the first "(" up to the next ",", compared
// exactly; " " when no line has the code.
TEST(Register, getRegisterLineTable) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    const struct {
        std::string content;
        std::string code;
        std::string want; // the line, " ", or the failure message
    } rows[] = {
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n", "B", "(B,0,B,light)"},
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n", "C", "(C,1,A,both)"},
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n", "b", " "},
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n", " B", " "},
        {"(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n", "D", " "},
        {" (C,1,A,both)\n", "C", " (C,1,A,both)"},
        {"x(C,1,A,both)\n", "C", "x(C,1,A,both)"},
        {"(C)\n", "C)", "(C)"},
        {"(c,1,a,x)\n(c,0,a,y)\n", "c", "(c,1,a,x)"},
        // Codes kept in the look-up slot (up to 8 bytes) and beside it.
        {"(abcdefgh,1,a,x)\n(abcdefghi,0,a,y)\n(abcdefg,2,a,z)\n", "abcdefgh", "(abcdefgh,1,a,x)"},
        {"(abcdefgh,1,a,x)\n(abcdefghi,0,a,y)\n(abcdefg,2,a,z)\n", "abcdefghi",
         "(abcdefghi,0,a,y)"},
        {"(abcdefgh,1,a,x)\n(abcdefghi,0,a,y)\n(abcdefg,2,a,z)\n", "abcdefg", "(abcdefg,2,a,z)"},
        {"(abcdefgh,1,a,x)\n(abcdefghi,0,a,y)\n", "abcdefgx", " "},
        // A code with a NUL, however short, is kept beside the slot; so is none.
        {std::string("(a\0b,1,a,x)\n(a,0,a,y)\n", 22), std::string("a\0b", 3),
         std::string("(a\0b,1,a,x)", 11)},
        {std::string("(a\0b,1,a,x)\n(a,0,a,y)\n", 22), "a", "(a,0,a,y)"},
        {std::string("(a\0,1,a,x)\n", 11), "a", " "},
        {"(b,0,b,y)\n(,1,a,x)\n", "", "(,1,a,x)"},
        {"(A,0,A,motor)\n\n(B,0,B,light)\n", "B", "stop"},
        {"(A,0,A,motor)\n\n(B,0,B,light)\n", "A", "(A,0,A,motor)"},
        {"A,0,A,motor\n", "A", "stop"},
        {"", "A", "@eof"},
    };
    for (const auto& row : rows) {
        writeFile(reg, row.content);
        std::string got;
        std::string failure = failureOf([&] {
            RegisterHandle h = readRegister(reg);
            got = getRegisterLine(h, row.code);
        });
        std::string want = row.want == "@eof"   ? reg + ": hGetLine: end of file"
                           : row.want == "stop" ? msg::tailOfEmpty
                                                : row.want;
        EXPECT_EQ(failure.empty() ? got : failure, want)
            << "code «" << row.code << "» in «" << row.content << "»";
        // The index of a run gives what a search from the first line gives.
        std::string indexed = failureOf([&] {
            RegisterIndex ix = indexRegister(openRegisterText(reg));
            LookedUp found = lookUp(ix, row.code);
            LookedUp direct = got == " " ? notFoundLine : LookedUp{lineTypeOf(got), got.size() > 2};
            EXPECT_EQ(found.type, direct.type);
            EXPECT_EQ(found.longerThanTwo, direct.longerThanTwo);
            // A short code as one word finds the same slot.
            const std::string& code = row.code;
            if (code.empty() || code.size() > 8 || code.find('\0') != std::string::npos) return;
            const RegisterIndex::Slot* slot =
                findShortSlot(ix, hashOfText(code), slotBytes(code.data(), code.size()));
            EXPECT_EQ(slot ? lineOf(ix, *slot).type : notFoundLine.type, found.type);
        });
        EXPECT_EQ(indexed, failure) << "indexed look-up of «" << row.code << "»";
    }
}

// A short code as one word is its bytes followed by 0s, whatever its length.
TEST(Register, slotBytesIsTheCodePadded) {
    const std::string bytes = "a\x80z\xff"
                              "1_\x7f~Q";
    for (std::size_t size = 0; size <= 8; ++size) {
        for (std::size_t from = 0; from + size <= bytes.size(); ++from) {
            char padded[8] = {};
            std::memcpy(padded, bytes.data() + from, size);
            std::uint64_t want;
            std::memcpy(&want, padded, sizeof want);
            EXPECT_EQ(slotBytes(bytes.data() + from, size), want) << size << " " << from;
        }
    }
}

TEST(Register, existsInRegisterAndContainsCode) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    writeFile(reg, "(A,0,A,motor)\n(B,0,B,light)\n(C,1,A,both)\n");
    RegisterHandle h = readRegister(reg);
    EXPECT_TRUE(existsInRegister(h, "ligh"));
    RegisterHandle h2 = readRegister(reg);
    EXPECT_FALSE(existsInRegister(h2, "lamp"));
    EXPECT_TRUE(isEndOfRegister(h2));
    RegisterHandle h3 = readRegister(reg);
    EXPECT_TRUE(existsInRegister(h3, ""));
    writeFile(reg, "");
    RegisterHandle empty = readRegister(reg);
    EXPECT_EQ(failureOf([&] { existsInRegister(empty, "a"); }), reg + ": hGetLine: end of file");

    EXPECT_EQ(containsCode({"ab", "cd", "bcd"}, "cd"), "cd");
    EXPECT_EQ(containsCode({"ab", "xbcd"}, "bc"), "xbcd");
    EXPECT_EQ(failureOf([] { containsCode({"ab"}, "x"); }), msg::headOfEmpty);
    EXPECT_EQ(failureOf([] { containsCode({}, ""); }), msg::headOfEmpty);
}

TEST(Register, setRegisterAppendsLines) {
    TempDir dir;
    const std::string out = dir.file("out");
    setRegister(out, "x");
    setRegister(out, "y");
    EXPECT_EQ(readFile(out), "x\ny\n");
    setRegister(out, "");
    EXPECT_EQ(readFile(out), "x\ny\n\n");
    EXPECT_EQ(failureOf([&] { setRegister(dir.file("missing/out"), "x"); }),
              dir.file("missing/out") + ": openFile: does not exist (No such file or directory)");
    EXPECT_EQ(failureOf([&] { setRegister(dir.path.string(), "x"); }),
              dir.path.string() + ": openFile: inappropriate type (Is a directory)");
}

// createLoadingFile makes its file hold exactly one blank, whatever it held.
TEST(Register, createLoadingFileAndSetRegister) {
    TempDir dir;
    writeFile(dir.file("loading"), "old content\n");
    createLoadingFile(dir.file("loading"));
    EXPECT_EQ(readFile(dir.file("loading")), " ");
}

TEST(Register, creatRegisterAndDeleteRegister) {
    const std::string path = "/tmp/fagen-unit-demo-" + std::to_string(::getpid()) + ".reg";
    creatRegister("fagen-unit-demo-" + std::to_string(::getpid()));
    EXPECT_EQ(readFile(path), " ");
    setRegister(path, "(A,0,A,motor)");
    EXPECT_EQ(readFile(path), " (A,0,A,motor)\n");
    RegisterHandle h = readRegister(path);
    std::string line = getRegisterLine(h, "A");
    EXPECT_EQ(line, " (A,0,A,motor)");
    EXPECT_EQ(getRegisterLineCode(line), " (A");
    deleteRegister(path);
    EXPECT_EQ(failureOf([&] { deleteRegister(path); }),
              path + ": removeLink: does not exist (No such file or directory)");
}

// note [lock rule]: a file open through a register handle is not written, by
// any spelling of its path; once the handle is closed it may be.
TEST(Register, lockRule) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    writeFile(reg, "(A,0,A,motor)\n");
    ASSERT_EQ(::symlink(reg.c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(::link(reg.c_str(), dir.file("hard").c_str()), 0);
    {
        RegisterHandle h = readRegister(reg);
        for (const std::string& path :
             {reg, dir.file("link"), dir.file("hard"), dir.file("./reg")}) {
            EXPECT_EQ(failureOf([&] { setRegister(path, "x"); }),
                      path + ": openFile: resource busy (file is locked)");
        }
        setRegister(dir.file("other"), "x");
        EXPECT_EQ(readFile(dir.file("other")), "x\n") << "another file is not locked";
        RegisterHandle moved = std::move(h);
        EXPECT_EQ(failureOf([&] { setRegister(reg, "x"); }),
                  reg + ": openFile: resource busy (file is locked)")
            << "a moved handle still holds the lock";
    }
    EXPECT_EQ(readFile(reg), "(A,0,A,motor)\n") << "the register is never written while open";
    setRegister(reg, "x");
    EXPECT_EQ(readFile(reg), "(A,0,A,motor)\nx\n");
    // A register read to its end and then replaced (mv over it): files made
    // afterwards, one of which the file system may give its inode number, are
    // not the register and are written.
    const std::string gone = dir.file("gone");
    writeFile(gone, "(A,0,A,motor)\n");
    RegisterHandle h = readRegister(gone);
    EXPECT_EQ(readingLoop(readRegister(h.text())).size(), 1u);
    ASSERT_EQ(::rename(reg.c_str(), gone.c_str()), 0);
    for (int i = 0; i < 4; ++i) {
        const std::string made = dir.file("made" + std::to_string(i));
        EXPECT_EQ(failureOf([&] { setRegister(made, "x"); }), "") << made;
    }
}

} // namespace

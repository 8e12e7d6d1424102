#include "output/OutputFile.hpp"

#include "TestSupport.hpp"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A write that fails half-way (the file-size limit stops it inside a line)
// leaves the file at its last complete line and reports the write error.
TEST(OutputFile, failedWriteKeepsCompleteLinesOnly) {
    TempDir dir;
    const std::string out = dir.file("out");
    writeFile(out, "kept\n");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    if (child == 0) {
        installOutputGuarantee(); // as fagen's main does: SIGXFSZ must not kill the write
        rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string message = failureOf([&] {
            OutputFile file(out);
            for (int i = 0; i < 100; ++i)
                appendLine(file, "line " + std::to_string(i) + " of the output");
            finishOutput(file);
        });
        (void)!::write(fds[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    char buffer[512];
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0),
              out + ": hPutStr: permission denied (File too large)");
    std::string content = readFile(out);
    EXPECT_LE(content.size(), 1000u);
    EXPECT_GT(content.size(), 900u) << "the lines that fit stay";
    EXPECT_EQ(content.back(), '\n');
    EXPECT_EQ(content.substr(0, 12), "kept\nline 0 ");
}

// Lines wait in the buffer, and a failure elsewhere still lets them reach the
// file; an output without lines is never created.
TEST(OutputFile, bufferedLinesReachTheFile) {
    TempDir dir;
    const std::string out = dir.file("out");
    EXPECT_EQ(failureOf([&] {
                  OutputFile file(out);
                  appendLine(file, "first");
                  appendLine(file, std::string(200000, 'x'));
                  appendLine(file, "last");
                  fail(FailureKind::ListEmpty);
              }),
              msg::headOfEmpty);
    EXPECT_FALSE(takeDeferredOutputFailure());
    EXPECT_EQ(readFile(out), "first\n" + std::string(200000, 'x') + "\nlast\n");
    { OutputFile unused(dir.file("never")); }
    EXPECT_FALSE(std::filesystem::exists(dir.file("never")));
    EXPECT_EQ(failureOf([] {
                  OutputFile missing(std::nullopt);
                  appendLine(missing, "x");
              }),
              msg::indexTooLarge);
}

// A line made of pieces is the pieces one after another, whatever their sizes
// (each size a piece is copied by its own way), across flushes of the buffer
// and past its capacity.
TEST(OutputFile, piecesMakeOneLine) {
    TempDir dir;
    const std::string out = dir.file("out");
    const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMN";
    const std::string big(200000, 'x');
    std::string expected;
    {
        OutputFile file(out);
        for (int round = 0; round < 60; ++round)
            for (std::size_t n = 0; n <= 40; ++n) {
                std::string_view a = std::string_view(text).substr(0, n),
                                 b = std::string_view(text).substr(40 - n, n / 2);
                file.appendPieces({a, "|", b, ""});
                expected.append(a).append("|").append(b).append("\n");
            }
        file.appendPieces({"<", big, ">"});
        expected += "<" + big + ">\n";
        finishOutput(file);
    }
    EXPECT_EQ(readFile(out), expected);
}

} // namespace

// The I/O floor of a run: reads the register five times line by line and
// appends as many lines to four files as a run writes, through the same kind of
// buffered appends, without looking at the lines.
//   io_floor REGISTER OUT_DIR LINES_BASIC LINES_NAMES LINES_FAMILY
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::size_t readLines(const char* path) {
    int fd = ::open(path, O_RDONLY);
    if (fd < 0) std::exit(1);
    static char buf[1 << 16];
    std::size_t lines = 0;
    std::string line;
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) {
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] == '\n') {
                ++lines;
                line.clear();
            } else {
                line.push_back(buf[i]);
            }
        }
    }
    ::close(fd);
    return lines;
}

void appendLines(const std::string& path, std::size_t count, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    std::string buf;
    for (std::size_t i = 0; i < count; ++i) {
        buf += text;
        if (buf.size() > (1 << 16)) {
            if (::write(fd, buf.data(), buf.size()) < 0) std::exit(1);
            buf.clear();
        }
    }
    if (::write(fd, buf.data(), buf.size()) < 0) std::exit(1);
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) return 2;
    std::size_t total = 0;
    for (int i = 0; i < 5; ++i)
        total += readLines(argv[1]);
    std::string dir = argv[2];
    std::size_t basic = std::strtoull(argv[3], nullptr, 10),
                names = std::strtoull(argv[4], nullptr, 10),
                family = std::strtoull(argv[5], nullptr, 10);
    appendLines(dir + "/basic.h", basic,
                "bdd f123456 = bdd_ithvar(123456) ; // basic feature 123456\n");
    appendLines(dir + "/names.h", names, "names[123456]=\"f123456\";\n");
    appendLines(dir + "/config.h", 3, "int number_of_vars = 4 + 600000; // the needed number\n");
    appendLines(dir + "/family.h", family, "FAMILY F123456 =PLUS(F12345, DOT(F23456, F345));\n");
    return total == 0 && basic > 0;
}

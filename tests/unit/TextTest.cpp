#include "base/Text.hpp"
#include "base/Hash.hpp"
#include "base/Memory.hpp"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Well-formed UTF-8 only: no overlong forms, surrogates or code points past U+10FFFF.
TEST(Text, utf8Validity) {
    const struct {
        std::string bytes;
        bool valid;
    } rows[] = {
        {"", true},
        {"plain", true},
        {"\xc3\xa9", true},
        {"\xe2\x82\xac", true},
        {"\xf0\x9f\x98\x80", true},
        {std::string("a\0b", 3), true},
        {"\xc3", false},
        {"\xc0\xaf", false},
        {"\xe0\x80\xaf", false},
        {"\xed\xa0\x80", false},
        {"\xf4\x90\x80\x80", false},
        {"\xff", false},
        {"\x80", false},
        {"\xe2\x82", false},
        {"\xc3\xa9\xc3", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(isValidUtf8(r.bytes), r.valid) << r.bytes;
    // The valid prefix ends at the first bad byte wherever it stands among ASCII
    // bytes, which are taken many at a time.
    for (std::size_t n = 0; n <= 80; ++n) {
        for (std::size_t at = 0; at <= n; ++at) {
            std::string text(n, 'a');
            if (at < n) text[at] = '\xff';
            ASSERT_EQ(validUtf8Prefix(text), at) << n << " " << at;
        }
    }
}

TEST(Text, charactersAndCase) {
    EXPECT_EQ(countChars("\xc3\xa9t\xc3\xa9"), 3u);
    EXPECT_EQ(toChars("a\xc3\xa9\xf0\x9f\x98\x80"), U"a\u00e9\U0001F600");
    EXPECT_EQ(fromChars(U"a\u00e9\U0001F600"), "a\xc3\xa9\xf0\x9f\x98\x80");
    const struct {
        char32_t in, out;
    } rows[] = {{U'x', U'X'},           {U'_', U'_'},           {U'1', U'1'},
                {U'\u00e9', U'\u00c9'}, {U'\u00df', U'\u00df'}, {U'\u01c6', U'\u01c4'},
                {U'\u0101', U'\u0100'}, {U'\u03c3', U'\u03a3'}, {U'Z', U'Z'}};
    for (const auto& r : rows)
        EXPECT_EQ(upperChar(r.in), r.out) << static_cast<unsigned>(r.in);
    EXPECT_EQ(upperCase("x_1 \xc3\xa9"), "X_1 \xc3\x89");
}

// The expansion upper-cases each operand once, however deep it stands: the
// same text as upper-casing once per enclosing operator, for every character.
TEST(Text, upperCaseTwiceIsUpperCaseOnce) {
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        ASSERT_EQ(upperChar(upperChar(c)), upperChar(c)) << static_cast<unsigned>(c);
    }
}

// Upper case eight bytes at a time is upper case byte by byte: every byte at
// every place of a word; and texts of every length with a character past ASCII
// at every place, or none.
TEST(Text, upperCaseByWordsIsByCharacters) {
    for (std::size_t place = 0; place < 8; ++place) {
        for (int byte = 0; byte < 256; ++byte) {
            unsigned char in[8] = {'a', 'Z', 'z', '`', '{', '@', '0', 'm'}, out[8];
            in[place] = static_cast<unsigned char>(byte);
            std::uint64_t word;
            std::memcpy(&word, in, sizeof word);
            word = upperCaseAscii(word);
            std::memcpy(out, &word, sizeof word);
            for (std::size_t i = 0; i < 8; ++i)
                ASSERT_EQ(out[i], in[i] >= 'a' && in[i] <= 'z' ? in[i] - 0x20 : in[i])
                    << place << " " << byte;
        }
    }
    for (std::size_t n = 0; n <= 20; ++n) {
        for (std::size_t at = 0; at <= n; ++at) {
            std::string text;
            for (std::size_t i = 0; i < n; ++i)
                text += i == at ? std::string("\xc3\xa9") : std::string(1, "aZz_9y{`"[i % 8]);
            std::u32string want;
            for (char32_t c : toChars(text))
                want += upperChar(c);
            std::string out = "pre";
            appendUpperCase(out, text);
            ASSERT_EQ(out, "pre" + fromChars(want)) << text;
        }
    }
}

// A code is hashed from its bytes in the index and from its characters in a
// term: both must give the same hash, whatever runs of ASCII the text holds.
// Counting up carries through every run of nines, up to the largest 64-bit number.
TEST(Text, decimalCounterCountsLikeConversion) {
    const std::uint64_t starts[] = {0, 1, 7, 98, 995, 99999990, 18446744073709551610ull};
    for (std::uint64_t start : starts) {
        DecimalCounter counter(start);
        for (std::uint64_t n = start; n < start + 5 || (start == 0 && n < 1200); ++n) {
            ASSERT_EQ(counter.text(), std::to_string(n)) << start;
            counter.increment();
        }
    }
}

TEST(Text, hashOfBytesIsHashOfCharacters) {
    const char* rows[] = {"",
                          "f",
                          "f1",
                          "f12",
                          "f123",
                          "f1234",
                          "f12345678",
                          "\xc3\xa9",
                          "a\xc3\xa9",
                          "abc\xc3\xa9"
                          "d",
                          "abcd\xc3\xa9"
                          "efgh",
                          "\xf0\x9f\x98\x80"
                          "xyz",
                          "x y+z.w",
                          "abcdefghijklmnopqrstuvwxyz0123456789_ABCDEFGHIJ",
                          "abcdefg\xc3\xa9z", // the non-ASCII lead byte last in a window of 8
                          "\x7f\x01"};
    for (std::string_view text : rows) {
        std::u32string chars = toChars(text);
        EXPECT_EQ(hashOfText(text), hashOfChars(chars)) << text;
        EXPECT_EQ(hashOfText(text), hashChars(chars).hash) << text;
    }
    std::string zeros(3, '\0');
    EXPECT_NE(hashOfText(zeros), hashOfText(zeros.substr(1))); // characters count from 1
}

// sameBytes reads short texts a word at a time: a difference at any position
// of any length shows, and so does a difference in length.
TEST(Text, sameBytesSeesEveryByte) {
    for (std::size_t n = 0; n <= 40; ++n) {
        const std::string a(n, 'x');
        EXPECT_TRUE(sameBytes(a, std::string(n, 'x'))) << n;
        EXPECT_FALSE(sameBytes(a, std::string(n + 1, 'x'))) << n;
        for (std::size_t at = 0; at < n; ++at) {
            std::string b = a;
            b[at] = 'y';
            EXPECT_FALSE(sameBytes(a, b)) << n << " " << at;
        }
    }
}

// findByte reads eight bytes a step: it finds what find finds from every start,
// with the byte at every place of every length, twice, or after bytes one
// bit apart from it (which the word test may flag above the byte found).
TEST(Text, findByteFindsTheFirst) {
    for (const char byte : {',', '(', '\0', '\x80', '\xff'}) {
        for (std::size_t n = 0; n <= 40; ++n) {
            for (std::size_t at = 0; at <= n; ++at) {
                std::string text(n, static_cast<char>(byte ^ 1));
                if (at < n) text[at] = byte;
                if (at + 3 < n) text[at + 3] = byte;
                for (std::size_t from = 0; from <= n; ++from)
                    ASSERT_EQ(findByte(text, byte, from), std::string_view(text).find(byte, from))
                        << int(byte) << " " << n << " " << at << " " << from;
            }
        }
    }
}

TEST(Text, whiteSpaceIsTwentyThreeCharacters) {
    int count = 0;
    for (char32_t c = 0; c < 0x110000; ++c)
        count += isWhiteSpace(c);
    EXPECT_EQ(count, 23);
    EXPECT_TRUE(isWhiteSpace(U'\u180e'));
    EXPECT_FALSE(isWhiteSpace(U'\u200b'));
}

// A large block is mapped in whole huge pages from a huge-page boundary: each
// size gives zeroed bytes up to its last one, which stay there when written.
TEST(Memory, largeBlocksStartOnHugePages) {
    constexpr std::size_t huge = std::size_t{2} << 20;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, (std::size_t{1} << 20) - 1,
                                   std::size_t{1} << 20, huge - 1, huge, huge + 1, 5 * huge + 3}) {
        auto* p = static_cast<unsigned char*>(allocateLarge(size));
        const std::size_t n = size == 0 ? 1 : size;
        EXPECT_EQ(p[0] | p[n / 2] | p[n - 1], 0) << size;
        p[0] = 1;
        p[n - 1] = 2;
        if (size >= std::size_t{1} << 20) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % huge, 0u) << size;
        }
        releaseLarge(p, size);
    }
}

// A block list keeps every element where it was first put, across the end of
// its small first block and of the blocks after it.
TEST(Memory, blockListElementsStay) {
    struct Record {
        std::uint64_t a, b, c;
    };
    constexpr std::size_t first = (std::size_t{64} << 10) / sizeof(Record);
    constexpr std::size_t block = (std::size_t{2} << 20) / sizeof(Record);
    BlockList<Record> list;
    std::vector<const Record*> at;
    for (std::uint64_t i = 0; i < first + 2 * block + 3; ++i) {
        list.push_back({i, ~i, i * 3});
        at.push_back(&list[i]);
    }
    ASSERT_EQ(list.size(), at.size());
    for (const std::size_t i : {std::size_t{0}, first - 1, first, first + block - 1, first + block,
                                first + 2 * block, at.size() - 1}) {
        EXPECT_EQ(&list[i], at[i]) << i;
        EXPECT_EQ(list[i].a, i) << i;
        EXPECT_EQ(list[i].b, ~std::uint64_t{i}) << i;
        EXPECT_EQ(list[i].c, i * 3) << i;
    }
}

} // namespace

#include "base/Text.hpp"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace {

// note [locale codec]: the codec is chosen once, from the environment, before the
// first file is read. UTF-8 and ASCII locales need no conversion: ASCII is a subset
// of UTF-8, and refusing UTF-8 under the C locale would break ordinary registers on
// machines without LANG set.
struct LocaleCodec {
    std::string name;   // the locale's codeset
    bool utf8 = true;   // text is written as it is
    bool ascii = false; // the codeset is ASCII (still read as UTF-8)
    iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
    iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
};

LocaleCodec& codec() {
    static LocaleCodec c;
    return c;
}

// note [argument bytes]: a command-line argument is bytes, written to the
// outputs as they are whatever the locale. Bytes the locale's encoding refuses
// are carried inside as the lone surrogates U+DC80 to U+DCFF, which no register
// text can hold (its UTF-8 is checked), and turned back into their byte on output.
constexpr char32_t escapedByte = 0xDC00;

// Converts in with iconv, appending to out; false at a sequence the target
// cannot take, unless escape is set: then each refused byte is carried as an
// escaped byte (decoding) or an escaped byte is written back (encoding is not
// asked for this; see encodeToLocale).
bool convert(iconv_t cd, std::string_view in, std::string& out, bool escape = false) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char chunk[4096];
    while (left > 0) {
        char* dst = chunk;
        std::size_t room = sizeof chunk;
        std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        if (!escape) return false;
        appendChar(out, escapedByte | static_cast<unsigned char>(*src));
        ++src;
        --left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = chunk;
    std::size_t room = sizeof chunk;
    if (iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1)) return false;
    out.append(chunk, static_cast<std::size_t>(dst - chunk));
    return true;
}

bool isEscapedByte(std::string_view s, std::size_t i) {
    return i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xED &&
           (static_cast<unsigned char>(s[i + 1]) & 0xFE) == 0xB2;
}

} // namespace

void initTextEncoding() {
    std::setlocale(LC_ALL, "");
    const char* set = nl_langinfo(CODESET);
    std::string name = set ? set : "";
    LocaleCodec& c = codec();
    c.name = name.empty() ? "ANSI_X3.4-1968" : name;
    c.ascii = name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII" || name == "US-ASCII";
    c.utf8 = c.ascii || name == "UTF-8" || name == "utf8";
    if (!c.utf8) {
        c.toUtf8 = iconv_open("UTF-8", name.c_str());
        c.fromUtf8 = iconv_open(name.c_str(), "UTF-8");
        if (c.toUtf8 == reinterpret_cast<iconv_t>(-1) ||
            c.fromUtf8 == reinterpret_cast<iconv_t>(-1))
            c.utf8 = true;
    }
    // The rest of the program compares bytes and characters itself; keep the C
    // library's own classification independent of the environment.
    std::setlocale(LC_ALL, "C");
}

bool isValidUtf8(std::string_view s) {
    return validUtf8Prefix(s) == s.size();
}

std::size_t charsBefore(std::string_view text, const char* p) {
    return countChars(text.substr(0, static_cast<std::size_t>(p - text.data())));
}

std::size_t validUtf8Prefix(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size(), i = 0;
    while (i < n) {
        // Thirty-two ASCII bytes at a time, then eight: the common case.
        if (i + 32 <= n) {
            std::uint64_t words[4];
            std::memcpy(words, p + i, sizeof words);
            if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ull) == 0) {
                i += 32;
                continue;
            }
        }
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        char32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
        } else {
            return i;
        }
        if (n - i < len) return i;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return i;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return i;
        i += len;
    }
    return n;
}

char32_t nextChar(std::string_view s, std::size_t& pos) {
    auto b = static_cast<unsigned char>(s[pos]);
    if (b < 0x80) {
        ++pos;
        return b;
    }
    std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    char32_t cp = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (std::size_t k = 1; k < len && pos + k < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + k]) & 0x3F);
    pos += len;
    return cp;
}

void appendChar(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u32string toChars(std::string_view s) {
    std::u32string out(s.size(), U'\0');
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < s.size();) {
        auto b = static_cast<unsigned char>(s[pos]);
        out[n++] = b < 0x80 ? (++pos, b) : nextChar(s, pos);
    }
    out.resize(n);
    return out;
}

std::string fromChars(std::u32string_view chars) {
    std::string out;
    out.reserve(chars.size());
    for (char32_t c : chars)
        appendChar(out, c);
    return out;
}

std::size_t countChars(std::string_view s) {
    std::size_t n = 0;
    for (char b : s)
        n += (static_cast<unsigned char>(b) & 0xC0) != 0x80;
    return n;
}

bool hasMoreCharsThan(std::string_view s, std::size_t n) {
    std::size_t count = 0;
    for (char b : s)
        if ((static_cast<unsigned char>(b) & 0xC0) != 0x80 && ++count > n) return true;
    return false;
}

bool isWideWhiteSpace(char32_t c) {
    return c == 0xA0 || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

char32_t wideUpperChar(char32_t c) { // c >= 0x80: upperChar takes ASCII itself
    static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (unicode == static_cast<locale_t>(nullptr)) return c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), unicode));
}

std::string upperCase(std::string_view s) {
    std::string out;
    appendUpperCase(out, s);
    return out;
}

void assignJoined(std::string& out, std::initializer_list<std::string_view> pieces) {
    std::size_t size = 0;
    for (std::string_view p : pieces)
        size += p.size();
    out.resize(size);
    char* at = out.data();
    for (std::string_view p : pieces) {
        std::memcpy(at, p.data(), p.size());
        at += p.size();
    }
}

std::string_view decimal(std::uint64_t n, char (&digits)[20]) {
    return {digits, static_cast<std::size_t>(std::to_chars(digits, digits + 20, n).ptr - digits)};
}

void appendUpperCase(std::string& out, std::string_view s) {
    // ASCII, the common case, eight bytes at a time, then in place; the rest
    // character by character. Most codes are ASCII and at most 8 bytes: one word.
    if (s.size() <= 8) {
        const std::uint64_t bytes = bytesAsWord(s.data(), s.size());
        if (!(bytes & 0x8080808080808080ull)) {
            char upper[8];
            const std::uint64_t u = upperCaseAscii(bytes);
            std::memcpy(upper, &u, sizeof u);
            out.append(upper, s.size());
            return;
        }
    }
    std::size_t pos = 0;
    for (; pos + 8 <= s.size(); pos += 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, s.data() + pos, sizeof bytes);
        if (bytes & 0x8080808080808080ull) break;
        bytes = upperCaseAscii(bytes);
        out.append(reinterpret_cast<const char*>(&bytes), sizeof bytes);
    }
    const std::size_t from = out.size(), ascii = pos;
    while (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80)
        ++pos;
    out.append(s.substr(ascii, pos - ascii));
    for (char* c = out.data() + from; c != out.data() + out.size(); ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 0x20);
    while (pos < s.size()) {
        auto b = static_cast<unsigned char>(s[pos]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b));
            ++pos;
        } else {
            appendChar(out, upperChar(nextChar(s, pos)));
        }
    }
}

std::size_t decodeFromLocale(std::string_view raw, std::string& out) {
    const LocaleCodec& c = codec();
    if (c.utf8) {
        std::size_t good = validUtf8Prefix(raw);
        out.append(raw.substr(0, good));
        return good == raw.size() ? noFault : countChars(raw.substr(0, good));
    }
    std::size_t before = out.size();
    if (convert(c.toUtf8, raw, out)) return noFault;
    return countChars(std::string_view(out).substr(before));
}

bool needsEncoding() {
    return !codec().utf8;
}

const std::string& localeCodeset() {
    return codec().name;
}

std::string argumentText(std::string_view bytes) {
    if (codec().utf8) return std::string(bytes);
    std::string out;
    convert(codec().toUtf8, bytes, out, true);
    return out;
}

std::string textOfBytes(std::string_view bytes) {
    if (!codec().utf8) return argumentText(bytes);
    std::string out;
    while (!bytes.empty()) {
        std::size_t good = validUtf8Prefix(bytes);
        out.append(bytes.substr(0, good));
        if (good == bytes.size()) break;
        appendChar(out, escapedByte | static_cast<unsigned char>(bytes[good]));
        bytes.remove_prefix(good + 1);
    }
    return out;
}

bool encodeToLocale(std::string_view utf8, std::string& out) {
    const LocaleCodec& c = codec();
    if (c.utf8) {
        out.append(utf8);
        return true;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!isEscapedByte(utf8, i)) continue;
        if (!convert(c.fromUtf8, utf8.substr(start, i - start), out)) return false;
        std::size_t pos = i;
        out.push_back(static_cast<char>(nextChar(utf8, pos) & 0xFF));
        start = pos;
        i = pos - 1;
    }
    return convert(c.fromUtf8, utf8.substr(start), out);
}

bool canShow(std::string_view utf8) {
    const LocaleCodec& c = codec();
    if (c.ascii) {
        for (char b : utf8)
            if (static_cast<unsigned char>(b) >= 0x80) return false;
        return true;
    }
    std::string ignored;
    return encodeToLocale(utf8, ignored);
}

void appendShown(std::string& out, std::string_view utf8) {
    static const char hex[] = "0123456789abcdef";
    for (std::size_t pos = 0; pos < utf8.size();) {
        std::size_t start = pos;
        char32_t c = nextChar(utf8, pos);
        if (c == U'\r') {
            out += "\\r";
        } else if (c == U'\n') {
            out += "\\n";
        } else if (c == U'\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else if (c >= escapedByte + 0x80 && c <= escapedByte + 0xFF) { // a byte no encoding took
            out += "\\x";
            out.push_back(hex[(c >> 4) & 15]);
            out.push_back(hex[c & 15]);
        } else if ((c >= 0x80 && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c == 0x2028 ||
                   c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
                   c == 0x061C || (c >= 0x200B && c <= 0x200F) || c == 0x2060 || c == 0xFEFF) {
            // C1 controls, escaped bytes, line separators and bidirectional
            // controls and marks: what a terminal would act on or reorder; and
            // the characters that show as nothing (zero-width spaces and
            // joiners, the byte order mark), which would hide in a code.
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(hex[(c >> shift) & 15]);
        } else {
            out.append(utf8.substr(start, pos - start));
        }
    }
}

std::string shownInLocale(std::string_view utf8) {
    static const bool guillemets = canShow("«»"), ellipsis = canShow("…");
    std::string text;
    for (std::size_t pos = 0; pos < utf8.size();) {
        std::size_t start = pos;
        char32_t c = nextChar(utf8, pos);
        if (!guillemets && (c == U'«' || c == U'»')) {
            text.push_back('"');
        } else if (!ellipsis && c == U'…') {
            text += "...";
        } else if (c >= 0x80 && !canShow(utf8.substr(start, pos - start))) {
            static const char hex[] = "0123456789abcdef";
            text += c > 0xFFFF ? "\\U" : "\\u";
            for (int shift = c > 0xFFFF ? 28 : 12; shift >= 0; shift -= 4)
                text.push_back(hex[(c >> shift) & 15]);
        } else {
            text.append(utf8.substr(start, pos - start));
        }
    }
    std::string out;
    encodeToLocale(text, out);
    return out;
}

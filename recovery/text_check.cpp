// Whether bytes read as plain text, and how strongly. Whether they do is a matter of form:
// valid sequences of one encoding, few control characters. How strongly is a likelihood ratio:
// each encoding is a model of text (a share of ASCII with the letter and blank frequencies of
// prose, a share of the common Chinese characters, little else), and a character's evidence is
// log2(P(character | model) / P(same bytes | random)). Random bytes reach a ratio of 2^b with a
// chance below 2^-b, so the bits mean what a magic number's do. The frequencies matter: the
// keystream of the state 2^23 away flips the top bit of every byte, turning GBK text into
// printable ASCII that a model of "any printable byte" would rate above the original.

#include "file_layout.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zr::detail {

namespace {

// log2(256 x the share of each ASCII code in text), -8 for stray control characters. Text is
// a mix: prose (blanks and small letters, few capitals and signs) and anything printable
// (names, numbers, code). Capitals must not count against it: upper-case ASCII and the common
// GBK characters are each other's top-bit twin too.
const std::array<double, 128>& asciiBits() {
    static const std::array<double, 128> table = [] {
        std::array<double, 128> prose{};
        for (int c = 0x21; c < 0x7F; ++c)
            prose[c] = 0.04 / 32; // signs
        for (int c = '0'; c <= '9'; ++c)
            prose[c] = 0.05 / 10;
        for (int c = 'A'; c <= 'Z'; ++c)
            prose[c] = 0.03 / 26;
        for (int c = 'a'; c <= 'z'; ++c)
            prose[c] = 0.62 / 26;
        prose[' '] = 0.18;
        prose['\n'] = 0.04;
        prose['\r'] = 0.03;
        prose['\t'] = 0.01;
        std::array<double, 128> t{};
        for (int c = 0; c < 128; ++c) {
            const bool printable = (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r' || c == '\t';
            t[c] = printable ? std::log2(256.0 * (0.6 * prose[c] + 0.4 / 98)) : -8.0;
        }
        return t;
    }();
    return table;
}

// Each model's share of ASCII, as log2 of it, and of its other characters as evidence in bits.
constexpr double kByteAscii = -0.074; // log2(0.95): one byte a character, 95% ASCII
constexpr double kByteHigh = -3.32;   // log2(0.05 * 256 / 128)
constexpr double kUtf8Ascii = -0.737; // log2(0.6)
constexpr double kUtf8Two = 0.77;     // log2(0.05 * 2^16 / 1920)
constexpr double kUtf8Han = 7.905;    // log2(0.3 * 2^24 / 20992)
constexpr double kUtf8Punct = 10.69;  // log2(0.03 * 2^24 / 304)
constexpr double kUtf8Three = 2.65;   // log2(0.015 * 2^24 / 40144)
constexpr double kUtf8Four = 4.36;    // log2(0.005 * 2^32 / 2^20)
constexpr double kUtf8Bom = 20.0;
constexpr double kGbAscii = -1.515;  // log2(0.35)
constexpr double kGbCommon = 3.12;   // log2(0.5 * 2^16 / 3760): B0-D7 x A1-FE
constexpr double kGbRare = -0.61;    // log2(0.03 * 2^16 / 3008): D8-F7 x A1-FE
constexpr double kGbSymbol = 2.95;   // log2(0.1 * 2^16 / 846): A1-A9 x A1-FE
constexpr double kGbOther = -3.64;   // log2(0.02 * 2^16 / 16326)
constexpr double kGbFour = 2.45;     // log2(0.002 * 2^32 / 1587600)
constexpr double kGbEuro = -5.29;    // log2(0.0001 * 256): 80 alone
constexpr double kUnitAscii = 6.68;  // log2(0.4 * 2^16 / 256): then as a byte
constexpr double kUnitHan = 0.64;    // log2(0.5 * 2^16 / 20992)
constexpr double kUnitPunct = 3.43;  // log2(0.05 * 2^16 / 304)
constexpr double kUnitOther = -3.83; // log2(0.045 * 2^16 / 42000)
constexpr double kUnitPair = 4.36;   // log2(0.005 * 2^32 / 2^20)
constexpr double kUnitC1 = -8.0;     // the C1 controls, U+0080-U+009F

bool inCjkPunct(unsigned u) {
    return (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF);
}
bool inHan(unsigned u) {
    return u >= 0x4E00 && u <= 0x9FFF;
}
bool isStrayControl(unsigned c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
}

struct Tally {
    double bits = 0;
    std::size_t units = 0;
    std::size_t stray = 0; // control characters besides tab and line ends
    std::size_t ascii = 0;
    std::size_t high = 0; // bytes above 127 read one by one
    bool invalid = false;

    void Ascii(unsigned c, double share) {
        ++units;
        bits += share + asciiBits()[c];
        if (isStrayControl(c))
            ++stray;
        else
            ++ascii;
    }
    void Add(double b) {
        ++units;
        bits += b;
    }
    // An editor's form feed or a log's colour escapes are no reason to call a file binary;
    // random bytes hold one control character in eight. Text in a one-byte code page is mostly
    // ASCII in the West, but not in Russian or Greek; random bytes are half above 127, so
    // those need more bytes with fewer control characters.
    bool Accepted() const {
        return !invalid && stray <= units / 16 &&
               (high * 4 <= units || (units >= 256 && stray <= units / 64));
    }
};

Tally singleByte(std::span<const std::uint8_t> b) {
    Tally t;
    for (const std::uint8_t c : b) {
        if (c < 0x80) {
            t.Ascii(c, kByteAscii);
        } else {
            t.Add(kByteHigh);
            ++t.high;
        }
    }
    return t;
}

Tally utf8(std::span<const std::uint8_t> b) {
    Tally t;
    std::size_t i = 0;
    if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        t.bits += kUtf8Bom;
        i = 3;
    }
    while (i < b.size()) {
        const unsigned c = b[i];
        if (c < 0x80) {
            t.Ascii(c, kUtf8Ascii);
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF; // the second byte's range; the others are 80-BF
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            lo = c == 0xE0 ? 0xA0 : 0x80; // no overlong forms
            hi = c == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        } else {
            t.invalid = true;
            return t;
        }
        if (i + len > b.size())
            return t; // cut off by the end of what was read
        unsigned code = c & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const unsigned d = b[i + k];
            if (d < (k == 1 ? lo : 0x80) || d > (k == 1 ? hi : 0xBF)) {
                t.invalid = true;
                return t;
            }
            code = code << 6 | (d & 0x3F);
        }
        if (len == 2)
            t.Add(kUtf8Two);
        else if (len == 4)
            t.Add(kUtf8Four);
        else
            t.Add(inHan(code) ? kUtf8Han : inCjkPunct(code) ? kUtf8Punct : kUtf8Three);
        i += len;
    }
    return t;
}

Tally gb18030(std::span<const std::uint8_t> b) {
    Tally t;
    std::size_t i = 0;
    while (i < b.size()) {
        const unsigned c = b[i];
        if (c < 0x80) {
            t.Ascii(c, kGbAscii);
            ++i;
            continue;
        }
        if (c == 0x80) { // the euro sign of code page 936
            t.Add(kGbEuro);
            ++i;
            continue;
        }
        if (c == 0xFF) {
            t.invalid = true;
            return t;
        }
        if (i + 1 >= b.size())
            return t;
        const unsigned d = b[i + 1];
        if (d >= 0x30 && d <= 0x39) {
            if (i + 3 >= b.size())
                return t;
            if (b[i + 2] < 0x81 || b[i + 2] == 0xFF || b[i + 3] < 0x30 || b[i + 3] > 0x39) {
                t.invalid = true;
                return t;
            }
            t.Add(kGbFour);
            i += 4;
        } else if ((d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xFE)) {
            if (d < 0xA1 || c < 0xA1 || c > 0xF7 || (c > 0xA9 && c < 0xB0))
                t.Add(kGbOther);
            else
                t.Add(c <= 0xA9 ? kGbSymbol : c <= 0xD7 ? kGbCommon : kGbRare);
            i += 2;
        } else {
            t.invalid = true;
            return t;
        }
    }
    return t;
}

Tally utf16(std::span<const std::uint8_t> b, bool bigEndian) {
    Tally t;
    const std::size_t n = b.size() / 2;
    auto unit = [&](std::size_t k) -> unsigned {
        return bigEndian ? (b[2 * k] << 8 | b[2 * k + 1]) : (b[2 * k + 1] << 8 | b[2 * k]);
    };
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned u = unit(k);
        if (u < 0x80) {
            t.Ascii(u, kUnitAscii);
        } else if (u <= 0x9F) {
            ++t.stray;
            t.Add(kUnitC1);
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 >= n)
                break;
            const unsigned low = unit(++k);
            if (low < 0xDC00 || low > 0xDFFF) {
                t.invalid = true;
                return t;
            }
            t.Add(kUnitPair);
        } else if ((u >= 0xDC00 && u <= 0xDFFF) || u >= 0xFFFE) {
            t.invalid = true;
            return t;
        } else {
            t.Add(inHan(u) ? kUnitHan : inCjkPunct(u) ? kUnitPunct : kUnitOther);
        }
    }
    return t;
}

std::optional<double> accepted(const Tally& t) {
    if (!t.Accepted())
        return std::nullopt;
    return t.bits;
}

} // namespace

std::optional<double> Utf16Evidence(std::span<const std::uint8_t> bytes, bool bigEndian,
                                    bool requireAscii) {
    const Tally t = utf16(bytes, bigEndian);
    if (requireAscii && t.ascii * 4 < t.units)
        return std::nullopt;
    return accepted(t);
}

std::optional<double> TextEvidence(std::span<const std::uint8_t> bytes) {
    std::optional<double> best;
    for (const auto bits :
         {accepted(singleByte(bytes)), accepted(utf8(bytes)), accepted(gb18030(bytes)),
          Utf16Evidence(bytes, false, true), Utf16Evidence(bytes, true, true)})
        if (bits && (!best || *bits > *best))
            best = bits;
    if (!best)
        return std::nullopt;
    // The best of five ratios: a random passer had five chances. Text in an odd mix of
    // characters is still text, with no evidence.
    return std::max(0.0, *best - std::log2(5.0));
}

} // namespace zr::detail

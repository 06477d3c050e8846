#pragma once
// How files of a named type begin: the bytes every such file has at fixed places, and the
// further checks that need to read them as fields. The key search tries seeds against these,
// and the same checks tell whether a decrypted result looks like its type.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

// The most first bytes any check reads: a JPEG segment of up to 64 KiB must be skipped to find
// the next marker, and a PE header may sit that far in.
inline constexpr std::size_t kHeadBytes = 65536 + 1024;

// Evidence is counted in bits: -log2 of the chance that random bytes pass. Across the 2^23 + 1
// seeds a key can have, a wrong seed reaches 30 bits about once in 128 searches.
inline constexpr double kConfidentBits = 30.0;

// A set of byte values.
struct ByteSet {
    std::uint64_t bits[4] = {};
    static ByteSet Only(std::uint8_t b) { return Range(b, b); }
    static ByteSet Range(std::uint8_t lo, std::uint8_t hi);
    // Every byte b with (b & mask) == value.
    static ByteSet Masked(std::uint8_t mask, std::uint8_t value);
    ByteSet& Add(const ByteSet& other);
    bool Has(std::uint8_t b) const { return (bits[b >> 6] >> (b & 63)) & 1; }
    int Count() const;
};

struct ByteRule {
    std::uint32_t offset = 0;
    ByteSet allowed;
};

// One way a file of some type can begin (a type may have several: a .doc is a compound file,
// or RTF, or a web page saved under that name).
struct FileLayout {
    const char* what = "";       // what matched, in Simplified Chinese, for messages
    std::vector<ByteRule> rules; // every such file has these (checked as far as it is long)
    // What nearly every such file has besides: the key search may assume it to narrow the
    // seeds down, but the check never demands it, so a file without it is missed by the
    // search and never called wrong.
    std::vector<ByteRule> hints;
    std::size_t head = 64; // first bytes the check reads
    // Reads the fields the rules cannot: nullopt rejects, a value is further evidence in bits.
    std::optional<double> (*more)(std::span<const std::uint8_t> head, std::uint64_t size) = nullptr;
};

struct LayoutMatch {
    bool ok = false;
    double evidence = 0; // bits
};

// head holds the first bytes of a file of size bytes (as many as there are, up to
// layout.head); a file shorter than a rule's offset is judged on the bytes it has.
LayoutMatch CheckLayout(const FileLayout& layout, std::span<const std::uint8_t> head,
                        std::uint64_t size);

// The layouts of a type named by its extension (without the dot, any letter case); empty for a
// type we do not know.
std::vector<const FileLayout*> LayoutsForType(std::string_view extension);
// Every layout of every type, each once.
const std::vector<const FileLayout*>& AllLayouts();
// The known extensions, for messages: "doc、docx、…".
std::string KnownTypesText();

// The extension of a file name without the dot ("" when it has none); with stripZr, a final
// ".ZR" in any letter case is taken off first: "report.doc.ZR" gives "doc".
std::string ExtensionOf(std::string_view name, bool stripZr = false);

namespace detail {
// Plain text: valid UTF-8, GB18030 (which GBK is part of) or mostly ASCII in one byte each, or
// UTF-16 in either byte order with ASCII in at least a quarter of its characters, with at most
// one control character in 16 besides tab and line ends. A sequence cut off by the end of the
// bytes is no fault.
std::optional<double> TextEvidence(std::span<const std::uint8_t> bytes);
// UTF-16 code units after a byte-order mark; with requireAscii, a quarter of them must be ASCII.
std::optional<double> Utf16Evidence(std::span<const std::uint8_t> bytes, bool bigEndian,
                                    bool requireAscii);
} // namespace detail

} // namespace zr

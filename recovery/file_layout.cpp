#include "file_layout.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace zr {

ByteSet ByteSet::Range(std::uint8_t lo, std::uint8_t hi) {
    ByteSet s;
    for (unsigned b = lo; b <= hi; ++b)
        s.bits[b >> 6] |= std::uint64_t{1} << (b & 63);
    return s;
}

ByteSet ByteSet::Masked(std::uint8_t mask, std::uint8_t value) {
    ByteSet s;
    for (unsigned b = 0; b < 256; ++b)
        if ((b & mask) == value)
            s.bits[b >> 6] |= std::uint64_t{1} << (b & 63);
    return s;
}

ByteSet& ByteSet::Add(const ByteSet& other) {
    for (int i = 0; i < 4; ++i)
        bits[i] |= other.bits[i];
    return *this;
}

int ByteSet::Count() const {
    int n = 0;
    for (std::uint64_t word : bits)
        n += std::popcount(word);
    return n;
}

LayoutMatch CheckLayout(const FileLayout& layout, std::span<const std::uint8_t> head,
                        std::uint64_t size) {
    double bits = 0;
    for (const ByteRule& rule : layout.rules) {
        if (rule.offset >= head.size())
            continue;
        if (!rule.allowed.Has(head[rule.offset]))
            return {};
        bits += std::log2(256.0 / rule.allowed.Count());
    }
    if (layout.more) {
        const auto extra = layout.more(head.first(std::min(head.size(), layout.head)), size);
        if (!extra)
            return {};
        bits += *extra;
    }
    return {true, bits};
}

namespace {

using Bytes = std::span<const std::uint8_t>;
using Evidence = std::optional<double>;

unsigned le16(Bytes b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}
unsigned be16(Bytes b, std::size_t at) {
    return b[at] << 8 | b[at + 1];
}
std::uint32_t le32(Bytes b, std::size_t at) {
    return le16(b, at) | std::uint32_t{le16(b, at + 2)} << 16;
}
std::uint32_t be32(Bytes b, std::size_t at) {
    return std::uint32_t{be16(b, at)} << 16 | be16(b, at + 2);
}
bool has(Bytes b, std::size_t at, std::string_view text) {
    return b.size() >= at + text.size() &&
           std::equal(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char c, std::uint8_t x) { return static_cast<std::uint8_t>(c) == x; });
}

ByteSet of(std::initializer_list<std::uint8_t> values) {
    ByteSet s;
    for (std::uint8_t v : values)
        s.Add(ByteSet::Only(v));
    return s;
}

// Printable ASCII with tab and line ends, and every byte that may start or continue a UTF-8
// or GBK character: what the first bytes of a text file are made of.
ByteSet textBytes() {
    return of({'\t', '\n', '\r'}).Add(ByteSet::Range(0x20, 0x7E)).Add(ByteSet::Range(0x80, 0xFE));
}

class Make {
public:
    explicit Make(const char* what, std::size_t head = 64) {
        l_.what = what;
        l_.head = head;
    }
    Make& Exact(std::uint32_t at, std::string_view bytes) {
        for (char c : bytes)
            l_.rules.push_back({at++, ByteSet::Only(static_cast<std::uint8_t>(c))});
        return *this;
    }
    Make& Set(std::uint32_t at, ByteSet allowed) {
        l_.rules.push_back({at, allowed});
        return *this;
    }
    Make& HintExact(std::uint32_t at, std::string_view bytes) {
        for (char c : bytes)
            l_.hints.push_back({at++, ByteSet::Only(static_cast<std::uint8_t>(c))});
        return *this;
    }
    Make& HintSet(std::uint32_t at, ByteSet allowed) {
        l_.hints.push_back({at, allowed});
        return *this;
    }
    Make& More(Evidence (*more)(Bytes, std::uint64_t)) {
        l_.more = more;
        return *this;
    }
    operator FileLayout() const { return l_; }

private:
    FileLayout l_;
};

// -- the further checks ----------------------------------------------------------------------

// A local file header: the entry's name, when there, has no control characters (in any
// encoding: an archive from a Chinese Windows names its files in GBK).
Evidence zipMore(Bytes h, std::uint64_t) {
    if (h.size() < 30)
        return 0.0;
    const std::size_t end = std::min<std::size_t>(h.size(), 30 + le16(h, 26));
    double bits = 0;
    for (std::size_t i = 30; i < end; ++i) {
        if (h[i] < 0x20 || h[i] == 0x7F)
            return std::nullopt;
        bits += 0.2; // log2(256 / 223)
    }
    return bits;
}

// Some writers put a line of their own before the header; readers look in the first KiB.
Evidence pdfMore(Bytes h, std::uint64_t) {
    constexpr std::string_view magic = "%PDF-";
    if (h.size() < 8) // shorter than a header: judged on the bytes it has
        return has(h, 0, magic.substr(0, std::min(h.size(), magic.size()))) ? Evidence(0.0)
                                                                            : std::nullopt;
    const auto digit = [&](std::size_t i) { return h[i] >= '0' && h[i] <= '9'; };
    const std::size_t last = std::min<std::size_t>(h.size() - 8, 1024);
    for (std::size_t at = 0; at <= last; ++at)
        if (has(h, at, magic) && digit(at + 5) && h[at + 6] == '.' && digit(at + 7))
            return 54.6 - (at > 0 ? 10.0 : 0.0); // a header anywhere had 2^10 chances
    return std::nullopt;
}

// After the first segment's length comes the next marker, unless the segment runs past what
// was read (a camera's thumbnail can).
Evidence jpegMore(Bytes h, std::uint64_t) {
    if (h.size() < 6)
        return 0.0;
    const std::size_t length = be16(h, 4);
    if (length < 2)
        return std::nullopt;
    double bits = 0;
    if ((h[3] == 0xE0 &&
         (has(h, 6, std::string_view("JFIF\0", 5)) || has(h, 6, std::string_view("JFXX\0", 5)))) ||
        (h[3] == 0xE1 && (has(h, 6, std::string_view("Exif\0\0", 6)) || has(h, 6, "http:"))))
        bits += 40;
    const std::size_t next = 4 + length;
    if (next + 1 < h.size()) {
        const unsigned marker = h[next + 1];
        if (h[next] != 0xFF || !((marker >= 0xC0 && marker <= 0xCF) || marker >= 0xDA))
            return std::nullopt;
        bits += 10;
    }
    return bits;
}

Evidence bmpMore(Bytes h, std::uint64_t size) {
    double bits = 0;
    const std::size_t planes = h.size() >= 18 && le32(h, 14) == 12 ? 22 : 26;
    if (h.size() >= planes + 2) {
        if (le16(h, planes) != 1)
            return std::nullopt;
        bits += 16;
    }
    if (h.size() >= planes + 4) {
        const unsigned depth = le16(h, planes + 2);
        // 0: the pixels are a JPEG or PNG stream
        if (depth != 0 && depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16 &&
            depth != 24 && depth != 32 && depth != 64)
            return std::nullopt;
        bits += 13;
    }
    if (h.size() >= 6 && le32(h, 2) == size) // most writers fill the size in
        bits += 32;
    return bits;
}

template <bool BigEndian> Evidence tiffMore(Bytes h, std::uint64_t size) {
    if (h.size() < 8)
        return 0.0;
    const std::uint32_t first = BigEndian ? be32(h, 4) : le32(h, 4);
    if (first < 8 || first >= size)
        return std::nullopt;
    // A random offset falls within the file once in 2^32 / size.
    double bits = std::clamp(32.0 - std::log2(static_cast<double>(size)), 0.0, 24.0);
    if (first + 2 <= h.size()) {
        const unsigned entries = BigEndian ? be16(h, first) : le16(h, first);
        if (entries == 0 || entries > 4096)
            return std::nullopt;
        bits += 4;
    }
    return bits;
}

// Writers that stream leave the size open; the others make it the file's.
Evidence riffMore(Bytes h, std::uint64_t size) {
    return h.size() >= 8 && le32(h, 4) + std::uint64_t{8} == size ? 32.0 : 0.0;
}

Evidence ftypMore(Bytes h, std::uint64_t) {
    if (h.size() >= 4 && be32(h, 0) < 16)
        return std::nullopt;
    for (std::size_t i = 8; i < 12 && i < h.size(); ++i) // the brand: "isom", "qt  ", "M4A "
        if (h[i] < 0x20 || h[i] > 0x7E)
            return std::nullopt;
    return 5.0;
}

// Older QuickTime files begin with one of these atoms instead of a file-type box.
Evidence quickTimeMore(Bytes h, std::uint64_t) {
    if (h.size() < 8)
        return 0.0;
    for (std::string_view atom : {"moov", "mdat", "free", "skip", "wide", "pnot"})
        if (has(h, 4, atom))
            return 16.0;
    return std::nullopt;
}

Evidence rarMore(Bytes h, std::uint64_t) {
    if (h.size() >= 8 && h[6] == 1 && h[7] != 0) // RAR 5 ends its signature with 01 00
        return std::nullopt;
    return 0.0;
}

// "BZh" and the block size are followed by a block's magic or, for no data, the stream end's.
Evidence bzip2More(Bytes h, std::uint64_t) {
    if (h.size() < 10)
        return 0.0;
    if (has(h, 4, "\x31\x41\x59\x26\x53\x59") || has(h, 4, "\x17\x72\x45\x38\x50\x90"))
        return 40.0;
    return std::nullopt;
}

// Every tar header carries the sum of its bytes; an empty archive is all zeros.
Evidence tarMore(Bytes h, std::uint64_t size) {
    if (size < 512)
        return std::nullopt;
    if (h.size() < 512)
        return 0.0;
    if (std::all_of(h.begin(), h.begin() + 512, [](std::uint8_t b) { return b == 0; }))
        return 0.0;
    std::uint32_t stored = 0;
    std::size_t i = 148;
    while (i < 156 && h[i] == ' ')
        ++i;
    const std::size_t digits = i;
    for (; i < 156 && h[i] >= '0' && h[i] <= '7'; ++i)
        stored = stored * 8 + (h[i] - '0');
    if (i == digits || (i < 156 && h[i] != 0 && h[i] != ' '))
        return std::nullopt;
    std::uint32_t sum = 0;
    std::int32_t signedSum = 0; // what some old writers stored
    for (std::size_t k = 0; k < 512; ++k) {
        const std::uint8_t b = k >= 148 && k < 156 ? ' ' : h[k];
        sum += b;
        signedSum += static_cast<std::int8_t>(b);
    }
    if (stored != sum && static_cast<std::int32_t>(stored) != signedSum)
        return std::nullopt;
    return has(h, 257, "ustar") ? 60.0 : 20.0;
}

// "MZ" and, where its offset points within what was read, the Windows header.
Evidence exeMore(Bytes h, std::uint64_t) {
    if (h.size() < 0x40)
        return 0.0;
    const std::uint32_t header = le32(h, 0x3C);
    if (header < 4 || header + std::uint64_t{6} > h.size())
        return 0.0; // a program for DOS alone
    if (has(h, header, std::string_view("PE\0\0", 4)))
        return 32.0;
    if (has(h, header, "NE") || has(h, header, "LE") || has(h, header, "LX"))
        return 16.0;
    return 0.0;
}

// -- MPEG audio frames -------------------------------------------------------------------------

struct FrameHeader {
    unsigned version = 0;   // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    unsigned layer = 0;     // 3: layer I, 2: layer II, 1: layer III
    unsigned rate = 0;      // sample-rate index
    std::size_t length = 0; // 0 for the free bit rate
};

std::optional<FrameHeader> frameAt(Bytes h, std::size_t at) {
    if (at + 4 > h.size() || h[at] != 0xFF || (h[at + 1] & 0xE0) != 0xE0)
        return std::nullopt;
    FrameHeader f;
    f.version = (h[at + 1] >> 3) & 3;
    f.layer = (h[at + 1] >> 1) & 3;
    const unsigned bitrate = h[at + 2] >> 4;
    f.rate = (h[at + 2] >> 2) & 3;
    const unsigned padding = (h[at + 2] >> 1) & 1;
    if (f.version == 1 || f.layer == 0 || bitrate == 15 || f.rate == 3 || (h[at + 3] & 3) == 2)
        return std::nullopt;
    static constexpr unsigned kKbps[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // 1, I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // 1, II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // 1, III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // 2, I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // 2, II/III
    };
    static constexpr unsigned kRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = f.version == 3;
    const unsigned row = mpeg1 ? 3 - f.layer : (f.layer == 3 ? 3 : 4);
    const unsigned rate = kRates[f.rate] >> (mpeg1 ? 0 : f.version == 2 ? 1 : 2);
    const unsigned bps = kKbps[row][bitrate] * 1000;
    if (f.layer == 3)
        f.length = (12 * bps / rate + padding) * 4;
    else
        f.length = (f.layer == 1 && !mpeg1 ? 72 : 144) * bps / rate + padding;
    return f;
}

// Silence may come first as zero bytes; then frames follow each other without a gap.
Evidence mpegMore(Bytes h, std::uint64_t) {
    std::size_t at = 0;
    while (at < h.size() && h[at] == 0)
        ++at;
    if (at + 4 > h.size())
        return 0.0;
    auto frame = frameAt(h, at);
    if (!frame)
        return std::nullopt;
    double bits = 13.0 - (at > 0 ? 8.0 : 0.0);
    for (int n = 0; n < 8 && frame->length != 0; ++n) {
        at += frame->length;
        const auto next = frameAt(h, at);
        if (!next || next->version != frame->version || next->layer != frame->layer ||
            next->rate != frame->rate)
            break;
        bits += 17.0;
        frame = next;
    }
    return bits;
}

ByteSet mpegSecondBytes() {
    ByteSet s;
    for (unsigned b = 0xE0; b <= 0xFF; ++b)
        if (((b >> 3) & 3) != 1 && ((b >> 1) & 3) != 0)
            s.Add(ByteSet::Only(static_cast<std::uint8_t>(b)));
    return s;
}

// Neither the bit rate "bad" (15) nor the reserved sample rate (3).
ByteSet mpegThirdBytes() {
    ByteSet s;
    for (unsigned b = 0; b < 0xF0; ++b)
        if (((b >> 2) & 3) != 3)
            s.Add(ByteSet::Only(static_cast<std::uint8_t>(b)));
    return s;
}

Evidence textMore(Bytes h, std::uint64_t) {
    return detail::TextEvidence(h);
}

Evidence utf16More(Bytes h, std::uint64_t) {
    if (h.size() < 2)
        return 0.0;
    if (h[0] == h[1])
        return std::nullopt;
    const auto bits = detail::Utf16Evidence(h.subspan(2), h[0] == 0xFE, false);
    return bits ? Evidence(std::max(0.0, *bits) + 1.0) : std::nullopt;
}

// -- the layouts -------------------------------------------------------------------------------

struct Layouts {
    FileLayout compound = Make("复合文档文件头（Office 97-2003 格式）")
                              .Exact(0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")
                              .Exact(28, "\xFE\xFF");
    FileLayout zip = Make("ZIP 本地文件头", 1024)
                         .Exact(0, "PK\x03\x04")
                         .Set(4, ByteSet::Range(0, 63))    // version needed
                         .Set(7, ByteSet::Masked(0xC7, 0)) // flags 11-13
                         .Set(8, ByteSet::Range(0, 20).Add(ByteSet::Range(93, 99))) // method
                         .Set(9, ByteSet::Only(0))
                         .Set(27, ByteSet::Range(0, 3)) // a name under 1 KiB
                         .More(zipMore);
    FileLayout zipEmpty =
        Make("空 ZIP 档案的目录尾").Exact(0, "PK\x05\x06").Exact(4, std::string(16, '\0'));
    FileLayout zipSpanned = Make("分卷 ZIP 档案的开头")
                                .Exact(0, "PK")
                                .Set(2, of({0x07, 0x30}))
                                .Set(3, of({0x08, 0x30}))
                                .Exact(4, "PK\x03\x04");
    FileLayout pdf = Make("PDF 文件头", 1032)
                         .HintExact(0, "%PDF-")
                         .HintSet(5, ByteSet::Range('1', '2'))
                         .HintExact(6, ".")
                         .HintSet(7, ByteSet::Range('0', '9'))
                         .More(pdfMore);
    FileLayout png = Make("PNG 文件签名与 IHDR 块")
                         .Exact(0, std::string_view("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
    FileLayout jpeg = Make("JPEG 文件头", kHeadBytes)
                          .Exact(0, "\xFF\xD8\xFF")
                          .Set(3, ByteSet::Range(0xC0, 0xCF)
                                      .Add(of({0xDB, 0xDD, 0xFE}))
                                      .Add(ByteSet::Range(0xE0, 0xEF)))
                          .More(jpegMore);
    FileLayout gif = Make("GIF 文件头").Exact(0, "GIF8").Set(4, of({'7', '9'})).Exact(5, "a");
    FileLayout bmp = Make("BMP 文件头")
                         .Exact(0, "BM")
                         .Set(14, of({12, 40, 52, 56, 64, 108, 124}))
                         .Exact(15, std::string(3, '\0'))
                         .More(bmpMore);
    FileLayout tiffLittle =
        Make("TIFF 文件头", 4096).Exact(0, std::string_view("II*\0", 4)).More(tiffMore<false>);
    FileLayout tiffBig =
        Make("TIFF 文件头", 4096).Exact(0, std::string_view("MM\0*", 4)).More(tiffMore<true>);
    FileLayout wave = Make("RIFF WAVE 文件头").Exact(0, "RIFF").Exact(8, "WAVE").More(riffMore);
    FileLayout avi = Make("RIFF AVI 文件头").Exact(0, "RIFF").Exact(8, "AVI ").More(riffMore);
    FileLayout webp = Make("RIFF WEBP 文件头").Exact(0, "RIFF").Exact(8, "WEBP").More(riffMore);
    FileLayout ftyp = Make("MP4 文件类型盒（ftyp）")
                          .Exact(0, std::string(2, '\0'))
                          .Exact(4, "ftyp")
                          .More(ftypMore);
    FileLayout quickTime = Make("QuickTime 原子")
                               .Set(4, ByteSet::Range('a', 'z'))
                               .Set(5, ByteSet::Range('a', 'z'))
                               .Set(6, ByteSet::Range('a', 'z'))
                               .Set(7, ByteSet::Range('a', 'z'))
                               .More(quickTimeMore);
    FileLayout sevenZip = Make("7z 文件签名").Exact(0, std::string_view("7z\xBC\xAF\x27\x1C\0", 7));
    FileLayout rar = Make("RAR 文件签名").Exact(0, "Rar!\x1A\x07").Set(6, of({0, 1})).More(rarMore);
    FileLayout gzip = Make("gzip 文件头")
                          .Exact(0, "\x1F\x8B\x08")
                          .Set(3, ByteSet::Masked(0xE0, 0))
                          .Set(8, of({0, 2, 4}))
                          .Set(9, ByteSet::Range(0, 13).Add(ByteSet::Only(255)));
    FileLayout bzip2 = Make("bzip2 文件头")
                           .Exact(0, "BZh")
                           .Set(3, ByteSet::Range('1', '9'))
                           .Set(4, of({0x31, 0x17}))
                           .More(bzip2More);
    FileLayout xz = Make("xz 文件头")
                        .Exact(0, std::string_view("\xFD\x37zXZ\0\0", 7))
                        .Set(7, of({0, 1, 4, 10}));
    FileLayout tar = Make("tar 文件头（校验和）", 512).HintExact(257, "ustar").More(tarMore);
    FileLayout exe = Make("可执行文件头（MZ/PE）", kHeadBytes)
                         .Exact(0, "MZ")
                         .HintExact(0x3E, std::string(2, '\0'))
                         .More(exeMore);
    FileLayout id3 = Make("MP3 的 ID3v2 标签头")
                         .Exact(0, "ID3")
                         .Set(3, of({2, 3, 4}))
                         .Set(4, ByteSet::Range(0, 0xFE))
                         .Set(5, ByteSet::Masked(0x0F, 0))
                         .Set(6, ByteSet::Masked(0x80, 0))
                         .Set(7, ByteSet::Masked(0x80, 0))
                         .Set(8, ByteSet::Masked(0x80, 0))
                         .Set(9, ByteSet::Masked(0x80, 0));
    FileLayout mpeg = Make("MPEG 音频帧", 4096)
                          .HintExact(0, "\xFF")
                          .HintSet(1, mpegSecondBytes())
                          .HintSet(2, mpegThirdBytes())
                          .More(mpegMore);
    FileLayout flac = Make("FLAC 文件头")
                          .Exact(0, "fLaC")
                          .Set(4, of({0x00, 0x80}))
                          .Exact(5, std::string_view("\0\0\x22", 3));
    FileLayout ogg = Make("Ogg 页头").Exact(0, std::string_view("OggS\0\x02", 6));
    FileLayout psd = Make("Photoshop 文件头")
                         .Exact(0, std::string_view("8BPS\0", 5))
                         .Set(5, of({1, 2}))
                         .Exact(6, std::string(6, '\0'));
    FileLayout icon = Make("图标文件头")
                          .Exact(0, std::string_view("\0\0", 2))
                          .Set(2, of({1, 2})) // icon or cursor
                          .Exact(3, std::string_view("\0", 1))
                          .Set(4, ByteSet::Range(1, 255)) // images
                          .Exact(5, std::string_view("\0", 1))
                          .Exact(9, std::string_view("\0", 1)); // the first entry's reserved byte
    FileLayout rtf = Make("RTF 文件头").Exact(0, "{\\rtf");
    FileLayout text = Make("纯文本", 4096).More(textMore);
    FileLayout utf16 = Make("UTF-16 纯文本", 4096)
                           .Set(0, of({0xFE, 0xFF}))
                           .Set(1, of({0xFE, 0xFF}))
                           .More(utf16More);

    Layouts() {
        // The first 128 bytes of a text file are text bytes: nine in ten random bytes are too,
        // so the search needs that many to get from 2^23 seeds to a handful.
        const ByteSet bytes = textBytes();
        for (std::uint32_t i = 0; i < 128; ++i)
            text.hints.push_back({i, bytes});
    }
};

const Layouts& layouts() {
    static const Layouts all;
    return all;
}

struct TypeRow {
    std::string_view extensions; // blank-separated
    std::vector<const FileLayout*> layouts;
};

const std::vector<TypeRow>& typeRows() {
    static const std::vector<TypeRow> rows = [] {
        const Layouts& l = layouts();
        const std::vector<const FileLayout*> zipAll = {&l.zip, &l.zipEmpty, &l.zipSpanned};
        const std::vector<const FileLayout*> plain = {&l.text, &l.utf16};
        std::vector<TypeRow> r = {
            // Office's own formats; reports exported by web systems are often a web page or
            // tab-separated text under a .doc or .xls name.
            {"doc dot", {&l.compound, &l.rtf, &l.zip, &l.text, &l.utf16}},
            {"xls xlt", {&l.compound, &l.zip, &l.text, &l.utf16}},
            {"ppt pps pot msi msg vsd", {&l.compound, &l.zip}},
            // A password-protected Office document is a compound file.
            {"docx docm dotx xlsx xlsm xltx pptx pptm ppsx potx vsdx",
             {&l.zip, &l.zipEmpty, &l.compound}},
            {"zip jar war apk aar ipa epub odt ods odp odg ofd xpi cbz whl nupkg vsix", zipAll},
            {"pdf", {&l.pdf}},
            {"png", {&l.png}},
            {"jpg jpeg jpe jfif", {&l.jpeg}},
            {"gif", {&l.gif}},
            {"bmp dib", {&l.bmp}},
            {"tif tiff", {&l.tiffLittle, &l.tiffBig}},
            {"wav", {&l.wave}},
            {"avi", {&l.avi}},
            {"webp", {&l.webp}},
            {"mp4 m4a m4v 3gp", {&l.ftyp}},
            {"mov", {&l.ftyp, &l.quickTime}},
            {"7z", {&l.sevenZip}},
            {"rar", {&l.rar}},
            {"gz tgz", {&l.gzip}},
            {"bz2 tbz2", {&l.bzip2}},
            {"xz txz", {&l.xz}},
            {"tar", {&l.tar}},
            {"exe dll sys ocx scr cpl drv efi", {&l.exe}},
            {"mp3", {&l.id3, &l.mpeg}},
            {"flac", {&l.flac}},
            {"ogg oga ogv opus", {&l.ogg}},
            {"psd", {&l.psd}},
            {"ico cur", {&l.icon}},
            {"rtf", {&l.rtf}},
            {"txt text log csv tsv ini inf cfg conf md json xml html htm xhtml svg css js c h "
             "cpp hpp cc cs java py sh bat cmd ps1 sql yaml yml srt ass lrc tex reg",
             plain},
        };
        return r;
    }();
    return rows;
}

std::string lowerAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

template <typename F> void forEachExtension(std::string_view list, F f) {
    while (!list.empty()) {
        const auto blank = list.find(' ');
        f(list.substr(0, blank));
        if (blank == std::string_view::npos)
            break;
        list.remove_prefix(blank + 1);
    }
}

} // namespace

std::vector<const FileLayout*> LayoutsForType(std::string_view extension) {
    const std::string wanted = lowerAscii(extension);
    for (const TypeRow& row : typeRows()) {
        bool found = false;
        forEachExtension(row.extensions, [&](std::string_view e) { found = found || e == wanted; });
        if (found)
            return row.layouts;
    }
    return {};
}

const std::vector<const FileLayout*>& AllLayouts() {
    static const std::vector<const FileLayout*> all = [] {
        std::vector<const FileLayout*> v;
        for (const TypeRow& row : typeRows())
            for (const FileLayout* l : row.layouts)
                if (std::find(v.begin(), v.end(), l) == v.end())
                    v.push_back(l);
        return v;
    }();
    return all;
}

std::string KnownTypesText() {
    std::string text;
    for (const TypeRow& row : typeRows())
        forEachExtension(row.extensions, [&](std::string_view e) {
            text += text.empty() ? "" : "、";
            text += e;
        });
    return text;
}

std::string ExtensionOf(std::string_view name, bool stripZr) {
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    if (stripZr && name.size() > 3 && lowerAscii(name.substr(name.size() - 3)) == ".zr")
        name.remove_suffix(3);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return std::string(name.substr(dot + 1));
}

} // namespace zr

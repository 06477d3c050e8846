#include "path_text.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>
#include <string>

namespace zr::platform {

namespace fs = std::filesystem;

#ifdef Q_OS_WIN

fs::path PathFromText(const QString& text) {
    return fs::path(std::wstring(reinterpret_cast<const wchar_t*>(text.utf16()),
                                 static_cast<std::size_t>(text.size())));
}

QString TextFromPath(const fs::path& path) {
    const std::wstring& w = path.native();
    // Copied as it stands: fromWCharArray would drop a leading U+FEFF as a byte-order mark.
    return QString(reinterpret_cast<const QChar*>(w.data()), static_cast<qsizetype>(w.size()));
}

QString TextFromNativeBytes(const char* bytes) {
    return QString::fromLocal8Bit(bytes);
}

namespace {
QString textFromLocalUrl(const QUrl& url) {
    return QDir::toNativeSeparators(url.toLocalFile());
}
} // namespace

#else

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the valid UTF-8 sequence at s[i] (shortest form, no surrogates, at most
// U+10FFFF), or 0 when the byte there does not start one.
std::size_t validSequence(const std::string& s, std::size_t i, char32_t& c) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = b(i);
    std::size_t n = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, c = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, c = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, c = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

QString decode(const std::string& s) {
    QString out;
    out.reserve(static_cast<qsizetype>(s.size()));
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[i]);
        if (lead < 0x80) {
            out += QChar(lead);
            ++i;
            continue;
        }
        char32_t c = 0;
        if (const std::size_t n = validSequence(s, i, c)) {
            // Appended by hand: QString::fromUcs4 reads a leading U+FEFF as a byte-order mark
            // and drops it, so a name holding one would come back as another file's name.
            if (QChar::requiresSurrogates(c)) {
                out += QChar(QChar::highSurrogate(c));
                out += QChar(QChar::lowSurrogate(c));
            } else {
                out += QChar(static_cast<char16_t>(c));
            }
            i += n;
        } else {
            out += QChar(static_cast<char16_t>(kEscapeBase + lead));
            ++i;
        }
    }
    return out;
}

} // namespace

fs::path PathFromText(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) * 3);
    const char16_t* u = reinterpret_cast<const char16_t*>(text.utf16());
    const std::size_t n = static_cast<std::size_t>(text.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = u[i];
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(c - kEscapeBase);
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 &&
                   u[i + 1] <= 0xDFFF) {
            appendUtf8(bytes, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (u[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(bytes, 0xFFFD); // a lone surrogate no decoding made
        } else {
            appendUtf8(bytes, c);
        }
    }
    return fs::path(std::move(bytes));
}

QString TextFromPath(const fs::path& path) {
    return decode(path.native());
}

QString TextFromNativeBytes(const char* bytes) {
    return decode(bytes ? std::string(bytes) : std::string());
}

namespace {
// toLocalFile() would decode the path as UTF-8 and lose the bytes of a GBK name.
QString textFromLocalUrl(const QUrl& url) {
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return decode(bytes.toStdString());
}
} // namespace

#endif

QStringList DroppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || url.path().isEmpty())
            return {};
        paths << textFromLocalUrl(url);
    }
    return paths;
}

} // namespace zr::platform

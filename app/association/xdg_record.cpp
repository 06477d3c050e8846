#include "xdg_record.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace zr::app::xdg {

namespace fs = std::filesystem;

namespace {

constexpr std::pair<FileKind, std::string_view> kKindNames[] = {
    {FileKind::Whole, "file"},
    {FileKind::ThunarActions, "thunar"},
    {FileKind::MimeDefault, "mimeapps"},
};

// A path runs to the end of its line, so a line break or backslash in it is escaped.
std::string escapePath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string unescapePath(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::uint64_t ContentHash(std::string_view text) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

const RecordEntry* Record::Find(const fs::path& path) const {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const RecordEntry& e) { return e.path == path; });
    return it == entries.end() ? nullptr : &*it;
}

void Record::Set(const RecordEntry& entry) {
    Erase(entry.path);
    entries.push_back(entry);
}

void Record::Erase(const fs::path& path) {
    std::erase_if(entries, [&](const RecordEntry& e) { return e.path == path; });
}

fs::path RecordPath(const Places& places) {
    return places.configHome / "zr" / "desktop-integration";
}

std::string FormatRecord(const Record& record) {
    std::string out = "# zr 写入本用户桌面的文件，由 zr 维护。\n"
                      "# zr-cli desktop remove 删除它们并停止写入；zr-cli desktop install 恢复。\n";
    out += record.enabled ? "enabled yes\n" : "enabled no\n";
    for (const RecordEntry& e : record.entries) {
        const auto kind = std::find_if(std::begin(kKindNames), std::end(kKindNames),
                                       [&](const auto& k) { return k.first == e.kind; });
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(e.hash));
        out += std::string(kind->second) + (e.created ? " new " : " old ") + hash + " " +
               escapePath(e.path.string()) + "\n";
    }
    for (const fs::path& f : record.folders)
        out += "folder " + escapePath(f.string()) + "\n";
    return out;
}

Record ParseRecord(const std::string& text) {
    Record record;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "enabled") {
            std::string value;
            words >> value;
            record.enabled = value != "no";
            continue;
        }
        if (word == "folder" && line.size() > 7) {
            record.folders.push_back(unescapePath(std::string_view(line).substr(7)));
            continue;
        }
        const auto kind = std::find_if(std::begin(kKindNames), std::end(kKindNames),
                                       [&](const auto& k) { return k.second == word; });
        std::string created, hash;
        words >> created >> hash;
        // "<kind> new|old <16 hex digits> <path>"
        const std::size_t pathAt = word.size() + 1 + created.size() + 1 + hash.size() + 1;
        if (kind == std::end(kKindNames) || (created != "new" && created != "old") ||
            hash.size() != 16 || hash.find_first_not_of("0123456789abcdef") != std::string::npos ||
            line.size() <= pathAt || line[pathAt] != '/')
            continue;
        RecordEntry e;
        e.kind = kind->first;
        e.created = created == "new";
        e.hash = std::stoull(hash, nullptr, 16);
        e.path = unescapePath(std::string_view(line).substr(pathAt));
        record.Set(e);
    }
    return record;
}

} // namespace zr::app::xdg

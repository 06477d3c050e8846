#include "plan.h"

#include "file_io.h"
#include "target_name.h"

#include <algorithm>
#include <numeric>
#include <system_error>
#include <tuple>
#include <unordered_map>

namespace zr::jobs {

namespace fs = std::filesystem;

namespace {

using Native = fs::path::string_type;

// ASCII letters only, as the folder job's upper-case names: the result must not depend on the
// library's Unicode tables. POSIX names are bytes, judged one name of the path at a time: a
// double-byte name (GBK, Big5) keeps the bytes that follow its lead bytes, which are no letters.
template <class Char> std::basic_string<Char> foldCase(const std::basic_string<Char>& s) {
    if constexpr (sizeof(Char) == 1) {
        std::basic_string<Char> out;
        out.reserve(s.size());
        for (std::size_t at = 0;;) {
            const std::size_t end = std::min(s.find('/', at), s.size());
            out += UpperCaseAscii(std::string_view(s).substr(at, end - at));
            if (end == s.size())
                return out;
            out += '/';
            at = end + 1;
        }
    } else {
        std::basic_string<Char> out = s;
        for (auto& c : out)
            if (c >= 'a' && c <= 'z')
                c = static_cast<Char>(c - 'a' + 'A');
        return out;
    }
}

// A name in a folder known by its identity: the same for every path to that folder.
struct InFolder {
    std::size_t folder;
    Native leaf;
    bool operator==(const InFolder&) const = default;
};

struct KeyHash {
    std::size_t operator()(const Native& s) const { return std::hash<Native>{}(s); }
    std::size_t operator()(const InFolder& k) const {
        return std::hash<Native>{}(k.leaf) * 31 + k.folder;
    }
    std::size_t operator()(const io::FileId& id) const { return id.inode * 31 + id.device; }
};

// A folder as names in it are compared: resolved as far as it exists (links and ".."
// followed), and, where it exists, a number that is the same for every path that leads to it.
struct Folder {
    fs::path resolved;
    Native prefix;        // resolved, ending in a separator
    std::size_t identity; // 0 for a folder that does not exist
};

// Every folder of a plan is resolved once, however many of its names the plan holds.
class Folders {
public:
    const Folder& Of(const fs::path& folder) {
        const auto [it, added] = byText_.try_emplace(folder.native());
        if (added) {
            Folder& f = it->second;
            std::error_code ec;
            const fs::path resolved = fs::weakly_canonical(folder, ec);
            f.resolved = ec ? folder.lexically_normal() : resolved;
            f.resolved.make_preferred();
            f.prefix = f.resolved.native();
            if (f.prefix.empty() || f.prefix.back() != fs::path::preferred_separator)
                f.prefix += fs::path::preferred_separator;
            io::IoError e;
            const io::EntryInfo info = io::Stat(f.resolved, e);
            f.identity = 0;
            if (info.kind == io::EntryKind::Directory)
                f.identity = byId_.try_emplace(info.id, byId_.size() + 1).first->second;
        }
        return it->second;
    }

private:
    std::unordered_map<Native, Folder> byText_; // references stay valid as it grows
    std::unordered_map<io::FileId, std::size_t, KeyHash> byId_;
};

// Where a name leads, as far as can be told before anything is written.
struct Place {
    bool named = false;  // an empty path, or one that ends in a separator, names no file
    bool exists = false; // a regular file is there (links followed)
    io::FileId id;
    const Folder* folder = nullptr;
    Native leaf;
    Native full; // the resolved folder and the name
};

Place locate(const fs::path& path, Folders& folders) {
    Place p;
    if (path.empty())
        return p;
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec)
        full = path;
    if (full.filename() == "." || full.filename() == "..") {
        const fs::path resolved = fs::weakly_canonical(full, ec);
        if (!ec)
            full = resolved;
    }
    if (!full.has_filename())
        return p;
    p.named = true;
    p.leaf = full.filename().native();
    io::IoError e;
    const io::EntryInfo file = io::Stat(full, e);
    if (file.kind == io::EntryKind::Regular) {
        p.exists = true;
        p.id = file.id;
    }
    p.folder = &folders.Of(full.parent_path());
    p.full = p.folder->prefix + p.leaf;
    return p;
}

// Names that lead to one file end up in one class.
class Classes {
public:
    explicit Classes(std::size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    std::size_t Find(std::size_t x) {
        while (parent_[x] != x)
            x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    void Join(std::size_t a, std::size_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b)
            parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::size_t> parent_;
};

// Joins node to the first node seen with the same key.
template <class Key>
void joinEqual(std::unordered_map<Key, std::size_t, KeyHash>& seen, Key key, std::size_t node,
               Classes& classes) {
    const auto [it, added] = seen.try_emplace(std::move(key), node);
    if (!added)
        classes.Join(it->second, node);
}

// Notes node as a name that may be the first one seen with the same key in another letter
// case: such pairs are decided by the file system afterwards.
template <class Key>
void noteFolded(std::unordered_map<Key, std::size_t, KeyHash>& seen, Key key, std::size_t node,
                std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
    const auto [it, added] = seen.try_emplace(std::move(key), node);
    if (!added)
        pairs.emplace_back(it->second, node);
}

// Whether a folder compares names ignoring case, asked of each folder once per check.
class CaseProbe {
public:
    bool IgnoresCase(const fs::path& folder) {
        const auto [it, added] = known_.try_emplace(folder.native(), false);
        if (added)
            it->second = io::FolderIgnoresCase(folder);
        return it->second;
    }
    // Whether two paths that differ only in letter case lead to one name: every folder in
    // which their spellings differ must ignore case.
    bool SameIgnoringCase(const fs::path& a, const fs::path& b) {
        fs::path prefix;
        auto ia = a.begin(), ib = b.begin();
        for (; ia != a.end() && ib != b.end(); ++ia, ++ib) {
            if (ia->native() != ib->native() && !IgnoresCase(prefix))
                return false;
            prefix /= *ia;
        }
        return ia == a.end() && ib == b.end();
    }

private:
    std::unordered_map<Native, bool> known_;
};

} // namespace

std::vector<std::size_t> PlanCheck::Entries() const {
    std::vector<std::size_t> out;
    for (const Conflict& c : conflicts)
        if (out.empty() || out.back() != c.entry)
            out.push_back(c.entry);
    return out;
}

const Conflict& PlanCheck::FirstOf(std::size_t entry) const {
    return *std::find_if(conflicts.begin(), conflicts.end(),
                         [entry](const Conflict& c) { return c.entry == entry; });
}

PlanCheck CheckPlan(const Plan& plan) {
    // Node 2i is the source of entry i, node 2i + 1 its target.
    const std::size_t n = plan.Size();
    std::vector<Place> places(2 * n);
    Folders folders;
    PlanCheck check;
    for (std::size_t i = 0; i < n; ++i) {
        places[2 * i] = locate(plan.Source(i), folders);
        // A target without a file's name would be its folder: it takes no part in the rest.
        if (const fs::path target = plan.Target(i); NamesAFile(target))
            places[2 * i + 1] = locate(target, folders);
        else
            check.conflicts.push_back({i, ConflictKind::NoTargetName, i});
    }

    std::unordered_map<io::FileId, std::size_t, KeyHash> byId;
    std::unordered_map<InFolder, std::size_t, KeyHash> byFolder, byFolderFolded;
    std::unordered_map<Native, std::size_t, KeyHash> byPath, byPathFolded;
    std::vector<std::pair<std::size_t, std::size_t>> inFolderPairs, pathPairs;
    Classes classes(2 * n);
    for (std::size_t node = 0; node < 2 * n; ++node) {
        const Place& p = places[node];
        if (!p.named)
            continue;
        if (p.exists)
            joinEqual(byId, p.id, node, classes);
        if (p.folder->identity != 0) {
            joinEqual(byFolder, InFolder{p.folder->identity, p.leaf}, node, classes);
            noteFolded(byFolderFolded, InFolder{p.folder->identity, foldCase(p.leaf)}, node,
                       inFolderPairs);
        }
        joinEqual(byPath, p.full, node, classes);
        noteFolded(byPathFolded, foldCase(p.full), node, pathPairs);
    }
    // Spellings that differ only in letter case are one name where the folder ignores case;
    // some drivers of such file systems give every spelling an inode of its own.
    CaseProbe probe;
    for (const auto& [a, b] : inFolderPairs)
        if (classes.Find(a) != classes.Find(b) && probe.IgnoresCase(places[a].folder->resolved))
            classes.Join(a, b);
    for (const auto& [a, b] : pathPairs)
        if (classes.Find(a) != classes.Find(b) &&
            probe.SameIgnoringCase(fs::path(places[a].full), fs::path(places[b].full)))
            classes.Join(a, b);

    // Each name by its class: (class, target or not, entry), so that a class's sources and
    // targets come together, each in plan order.
    std::vector<std::tuple<std::size_t, bool, std::size_t>> names;
    names.reserve(2 * n);
    for (std::size_t node = 0; node < 2 * n; ++node)
        if (places[node].named)
            names.emplace_back(classes.Find(node), node % 2 == 1, node / 2);
    std::sort(names.begin(), names.end());

    auto& out = check.conflicts;
    std::vector<std::size_t> S, T;
    for (std::size_t at = 0; at < names.size();) {
        S.clear();
        T.clear();
        const std::size_t root = std::get<0>(names[at]);
        for (; at < names.size() && std::get<0>(names[at]) == root; ++at)
            (std::get<1>(names[at]) ? T : S).push_back(std::get<2>(names[at]));
        if (T.empty())
            continue;
        for (std::size_t t : T)
            if (std::binary_search(S.begin(), S.end(), t))
                out.push_back({t, ConflictKind::SameFile, t});
        if (T.size() > 1) {
            out.push_back({T[0], ConflictKind::SharedTarget, T[1]});
            for (std::size_t k = 1; k < T.size(); ++k)
                out.push_back({T[k], ConflictKind::SharedTarget, T[0]});
        }
        const auto otherThan = [](const std::vector<std::size_t>& v, std::size_t self) {
            return *std::find_if(v.begin(), v.end(), [self](std::size_t x) { return x != self; });
        };
        if (!S.empty()) {
            for (std::size_t t : T)
                if (S.size() > 1 || S[0] != t)
                    out.push_back({t, ConflictKind::TargetIsSource, otherThan(S, t)});
            for (std::size_t s : S)
                if (T.size() > 1 || T[0] != s)
                    out.push_back({s, ConflictKind::SourceIsTarget, otherThan(T, s)});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Conflict& a, const Conflict& b) {
        return std::tie(a.entry, a.kind) < std::tie(b.entry, b.kind);
    });
    return check;
}

bool NamesAFile(const fs::path& target) {
    const fs::path leaf = target.filename();
    return !leaf.empty() && leaf != "." && leaf != "..";
}

std::string ConflictReason(ConflictKind kind) {
    switch (kind) {
    case ConflictKind::NoTargetName:
        return "得不出目标文件名";
    case ConflictKind::SameFile:
        return "目标就是源文件";
    case ConflictKind::SharedTarget:
        return "与另一项的目标相同";
    case ConflictKind::TargetIsSource:
        return "目标是另一项的源文件";
    case ConflictKind::SourceIsTarget:
        return "源文件是另一项的目标";
    }
    return {};
}

} // namespace zr::jobs

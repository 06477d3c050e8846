#include "plan.h"

#include "file_io.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <system_error>
#include <tuple>

namespace zr::jobs {

namespace fs = std::filesystem;

namespace {

using Native = fs::path::string_type;

// ASCII letters only, as the folder job's upper-case names: the result must not depend on the
// library's Unicode tables.
Native foldCase(Native s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<Native::value_type>(c - 'a' + 'A');
    return s;
}

// Where a name leads, as far as can be told before anything is written.
struct Place {
    bool named = false;  // an empty path, or one that ends in a separator, names no file
    bool exists = false; // a regular file is there (links followed)
    io::FileId id;
    bool folderExists = false;
    io::FileId folderId;
    fs::path folder; // links and ".." followed as far as the folder exists
    Native leaf;
    fs::path Full() const { return folder / leaf; }
};

// A folder as names in it are compared: resolved as far as it exists, and its identity.
struct Folder {
    fs::path resolved;
    bool exists = false;
    io::FileId id;
};

// Every folder of a plan is resolved once, however many of its names the plan holds.
class Folders {
public:
    const Folder& Of(const fs::path& folder) {
        const auto [it, added] = known_.emplace(folder.native(), Folder{});
        if (added) {
            Folder& f = it->second;
            std::error_code ec;
            const fs::path resolved = fs::weakly_canonical(folder, ec);
            f.resolved = ec ? folder.lexically_normal() : resolved;
            f.resolved.make_preferred();
            io::IoError e;
            const io::EntryInfo info = io::Stat(f.resolved, e);
            f.exists = info.kind == io::EntryKind::Directory;
            f.id = info.id;
        }
        return it->second;
    }

private:
    std::map<Native, Folder> known_;
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
    const Folder& folder = folders.Of(full.parent_path());
    p.folder = folder.resolved;
    p.folderExists = folder.exists;
    p.folderId = folder.id;
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

template <class Key>
void joinEqual(std::map<Key, std::size_t>& seen, const Key& key, std::size_t node,
               Classes& classes) {
    const auto [it, added] = seen.emplace(key, node);
    if (!added)
        classes.Join(it->second, node);
}

// Whether a folder compares names ignoring case, asked of each folder once per check.
class CaseProbe {
public:
    bool IgnoresCase(const fs::path& folder) {
        const auto [it, added] = known_.emplace(folder.native(), false);
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
    std::map<Native, bool> known_;
};

// Joins the members of each group whose spellings differ, where the file system says so.
template <class Key, class Same>
void joinCaseGroups(const std::map<Key, std::vector<std::size_t>>& groups, Classes& classes,
                    Same same) {
    for (const auto& [key, nodes] : groups)
        for (std::size_t i = 0; i < nodes.size(); ++i)
            for (std::size_t j = i + 1; j < nodes.size(); ++j)
                if (classes.Find(nodes[i]) != classes.Find(nodes[j]) && same(nodes[i], nodes[j]))
                    classes.Join(nodes[i], nodes[j]);
}

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
    const std::size_t n = plan.entries.size();
    std::vector<Place> places(2 * n);
    Folders folders;
    for (std::size_t i = 0; i < n; ++i) {
        places[2 * i] = locate(plan.entries[i].source, folders);
        places[2 * i + 1] = locate(plan.entries[i].target, folders);
    }

    using Id = std::pair<std::uint64_t, std::uint64_t>;
    using InFolder = std::tuple<std::uint64_t, std::uint64_t, Native>;
    std::map<Id, std::size_t> byId;
    std::map<InFolder, std::size_t> byFolderId;
    std::map<Native, std::size_t> byPath;
    std::map<InFolder, std::vector<std::size_t>> byFolderIdFolded;
    std::map<Native, std::vector<std::size_t>> byPathFolded;
    Classes classes(2 * n);
    for (std::size_t node = 0; node < 2 * n; ++node) {
        const Place& p = places[node];
        if (!p.named)
            continue;
        if (p.exists)
            joinEqual(byId, Id{p.id.device, p.id.inode}, node, classes);
        if (p.folderExists) {
            const InFolder key{p.folderId.device, p.folderId.inode, p.leaf};
            joinEqual(byFolderId, key, node, classes);
            byFolderIdFolded[{p.folderId.device, p.folderId.inode, foldCase(p.leaf)}].push_back(
                node);
        }
        const Native path = p.Full().native();
        joinEqual(byPath, path, node, classes);
        byPathFolded[foldCase(path)].push_back(node);
    }
    // Spellings that differ only in letter case are one name where the folder ignores case;
    // some drivers of such file systems give every spelling an inode of its own.
    CaseProbe probe;
    joinCaseGroups(byFolderIdFolded, classes,
                   [&](std::size_t a, std::size_t) { return probe.IgnoresCase(places[a].folder); });
    joinCaseGroups(byPathFolded, classes, [&](std::size_t a, std::size_t b) {
        return probe.SameIgnoringCase(places[a].Full(), places[b].Full());
    });

    struct Members {
        std::vector<std::size_t> sources, targets; // entry indices, ascending
    };
    std::map<std::size_t, Members> members;
    for (std::size_t i = 0; i < n; ++i) {
        if (places[2 * i].named)
            members[classes.Find(2 * i)].sources.push_back(i);
        if (places[2 * i + 1].named)
            members[classes.Find(2 * i + 1)].targets.push_back(i);
    }

    PlanCheck check;
    auto& out = check.conflicts;
    for (const auto& [root, m] : members) {
        const auto& S = m.sources;
        const auto& T = m.targets;
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

std::string ConflictReason(ConflictKind kind) {
    switch (kind) {
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

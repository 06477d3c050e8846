#include "plan.h"

#include "file_io.h"
#include "target_name.h"

#include <algorithm>
#include <numeric>
#include <optional>
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

// FNV-1a over the characters of a text, continued from h.
std::uint64_t hashText(Plan::Text text, std::uint64_t h = 14695981039346656037ull) {
    for (const auto c : text)
        h = (h ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    return h;
}

struct IdHash {
    std::size_t operator()(const io::FileId& id) const { return id.inode * 31 + id.device; }
};

// A folder as names in it are compared: resolved as far as it exists (links and ".."
// followed), and, where it exists, a number that is the same for every path that leads to it.
struct Folder {
    fs::path resolved;
    Native prefix;          // resolved, ending in a separator
    Native foldedPrefix;    // the same with foldCase
    std::uint32_t identity; // 0 for a folder that does not exist
    std::uint64_t prefixHash = 0, foldedPrefixHash = 0; // hashText of the two prefixes
    int empty = -1; // 1 when it holds nothing (no name in it leads to a file); -1: not asked
};

// Every folder of a plan is resolved once, however many of its names the plan holds.
class Folders {
public:
    // The folder part of a path as the plan holds it (ending in a separator, or empty for a
    // name in the working folder).
    std::uint32_t Of(Plan::Text text) {
        if (last_ != kNone && text == lastText_)
            return last_;
        const auto [it, added] =
            byText_.try_emplace(Native(text), static_cast<std::uint32_t>(list_.size()));
        if (added) {
            std::error_code ec;
            fs::path folder = text.empty() ? fs::current_path(ec) : fs::absolute(text, ec);
            if (ec)
                folder = fs::path(text);
            Folder f;
            const fs::path resolved = fs::weakly_canonical(folder, ec);
            f.resolved = ec ? folder.lexically_normal() : resolved;
            f.resolved.make_preferred();
            f.prefix = f.resolved.native();
            if (f.prefix.empty() || f.prefix.back() != fs::path::preferred_separator)
                f.prefix += fs::path::preferred_separator;
            f.foldedPrefix = foldCase(f.prefix);
            f.prefixHash = hashText(f.prefix);
            f.foldedPrefixHash = hashText(f.foldedPrefix);
            io::IoError e;
            const io::EntryInfo info = io::Stat(f.resolved, e);
            f.identity = 0;
            if (info.kind == io::EntryKind::Directory)
                f.identity = byId_.try_emplace(info.id, byId_.size() + 1).first->second;
            list_.push_back(std::move(f));
        }
        last_ = it->second;
        lastText_ = it->first;
        return last_;
    }
    const Folder& operator[](std::uint32_t i) const { return list_[i]; }
    // Whether the folder exists and holds nothing, listed once: a new target folder then needs
    // no look-up per name.
    bool Empty(std::uint32_t i) {
        Folder& f = list_[i];
        if (f.empty < 0) {
            std::error_code ec;
            f.empty = f.identity != 0 && fs::is_empty(f.resolved, ec) && !ec ? 1 : 0;
        }
        return f.empty == 1;
    }

    static constexpr std::uint32_t kNone = 0xffffffffu;

private:
    std::vector<Folder> list_;
    std::unordered_map<Native, std::uint32_t> byText_;
    std::unordered_map<io::FileId, std::uint32_t, IdHash> byId_;
    std::uint32_t last_ = kNone;
    Native lastText_;
};

// Names that lead to one file end up in one class.
class Classes {
public:
    explicit Classes(std::size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    std::uint32_t Find(std::uint32_t x) {
        while (parent_[x] != x)
            x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    void Join(std::uint32_t a, std::uint32_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b)
            parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::uint32_t> parent_;
};

// Sorts numbers byte by byte from the lowest (a radix sort): the check of a plan of many names
// sorts several lists of one number per name, which comparisons made a tenth of its time.
void sortNumbers(std::vector<std::uint64_t>& v) {
    if (v.size() < 256) {
        std::sort(v.begin(), v.end());
        return;
    }
    std::vector<std::uint64_t> other(v.size());
    for (int shift = 0; shift < 64; shift += 8) {
        std::size_t start[257] = {};
        for (const std::uint64_t x : v)
            ++start[(x >> shift & 0xff) + 1];
        if (start[(v[0] >> shift & 0xff) + 1] == v.size())
            continue; // one value of this byte throughout: the order stays
        for (int b = 0; b < 256; ++b)
            start[b + 1] += start[b];
        for (const std::uint64_t x : v)
            other[start[x >> shift & 0xff]++] = x;
        v.swap(other);
    }
}

// Calls pair(first, node) for every node whose key equals that of an earlier node, first being
// the earliest node with that key. Keys are compared by 32 bits of their hashes first and,
// within equal ones, by equal(a, b): the memory is one 64-bit number per node.
template <class Hash, class Equal, class Pair>
void sameKeys(std::vector<std::uint64_t>& work, std::uint32_t nodes, const Hash& hash,
              const Equal& equal, const Pair& pair) {
    work.clear();
    for (std::uint32_t node = 0; node < nodes; ++node)
        if (const std::optional<std::uint64_t> h = hash(node))
            work.push_back((*h ^ *h >> 32) << 32 | node);
    sortNumbers(work);
    const auto nodeOf = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };
    for (std::size_t at = 0; at < work.size();) {
        std::size_t end = at + 1;
        while (end < work.size() && work[end] >> 32 == work[at] >> 32)
            ++end;
        for (std::size_t j = at + 1; j < end; ++j) {
            for (std::size_t k = at; k < j; ++k) {
                if (equal(nodeOf(work[k]), nodeOf(work[j]))) {
                    pair(nodeOf(work[k]), nodeOf(work[j]));
                    break;
                }
            }
        }
        at = end;
    }
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
    // Node 2i is the source of entry i, node 2i + 1 its target. What is kept of each is small:
    // its folder, and the identity of the file that is there.
    const std::size_t n = plan.Size();
    const auto nodes = static_cast<std::uint32_t>(2 * n);
    Folders folders;
    std::vector<std::uint32_t> folderOf(nodes, Folders::kNone); // kNone: names no file
    std::unordered_map<std::uint32_t, Native> resolvedLeaf;     // of the rare "." and ".." names
    std::vector<std::pair<io::FileId, std::uint32_t>> ids;      // of the names where a file is
    PlanCheck check;
    check.targetMissing.assign(n, false);
    // Targets first: where none exists yet (a new target folder), no source can be one of them
    // under another name, and the sources need not be looked up by identity at all.
    bool anyTarget = false;
    for (std::uint32_t at = 0; at < nodes; ++at) {
        const std::uint32_t node = at < n ? 2 * at + 1 : 2 * (at - static_cast<std::uint32_t>(n));
        const std::size_t i = node / 2;
        const bool target = node % 2 == 1;
        const Plan::Text name = target ? plan.TargetName(i) : plan.SourceName(i);
        const Plan::Text folder = target ? plan.TargetFolder(i) : plan.SourceFolder(i);
        // The path as the plan holds it, made only for the names that are looked up.
        const auto path = [&] { return fs::path(Native(folder) + Native(name)); };
        const bool dots = name == Plan::Text(fs::path(".").native()) ||
                          name == Plan::Text(fs::path("..").native());
        // A target without a file's name would be its folder: it takes no part in the rest.
        if (target && (name.empty() || dots)) {
            check.conflicts.push_back({i, ConflictKind::NoTargetName, i}); // sorted at the end
            continue;
        }
        if (name.empty())
            continue; // a path that ends in a separator names no file
        if (dots) {
            std::error_code ec;
            fs::path full = fs::absolute(path(), ec);
            const fs::path resolved = fs::weakly_canonical(full, ec);
            if (!ec)
                full = resolved;
            if (!full.has_filename())
                continue;
            folderOf[node] =
                folders.Of(full.parent_path().native() + fs::path::preferred_separator);
            resolvedLeaf[node] = full.filename().native();
        } else {
            folderOf[node] = folders.Of(folder);
        }
        if (!target && !anyTarget)
            continue;
        if (target && !dots && folders.Empty(folderOf[node])) {
            check.targetMissing[i] = true;
            continue;
        }
        io::IoError e;
        const fs::path full = path();
        const io::EntryInfo file = io::Stat(full, e);
        // A link that leads nowhere is no missing target: it is refused before anything is
        // written, which needs the look-up.
        if (target && !dots && !e && file.kind == io::EntryKind::Missing &&
            io::LinkStat(full, e).kind == io::EntryKind::Missing)
            check.targetMissing[i] = true;
        if (file.kind == io::EntryKind::Regular) {
            ids.emplace_back(file.id, node);
            anyTarget = anyTarget || target;
        }
    }
    const auto named = [&](std::uint32_t node) { return folderOf[node] != Folders::kNone; };
    const auto leaf = [&](std::uint32_t node) -> Plan::Text {
        if (const auto it = resolvedLeaf.find(node); it != resolvedLeaf.end())
            return it->second;
        return node % 2 ? plan.TargetName(node / 2) : plan.SourceName(node / 2);
    };
    const auto folderOfNode = [&](std::uint32_t node) -> const Folder& {
        return folders[folderOf[node]];
    };
    const auto full = [&](std::uint32_t node) {
        Native text = folderOfNode(node).prefix;
        text += leaf(node);
        return text;
    };
    const auto foldedFull = [&](std::uint32_t node) {
        return folderOfNode(node).foldedPrefix + foldCase(Native(leaf(node)));
    };

    Classes classes(nodes);
    const auto join = [&](std::uint32_t a, std::uint32_t b) { classes.Join(a, b); };
    // Names of one file: by identity where a file is there.
    std::sort(ids.begin(), ids.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.device, a.first.inode, a.second) <
               std::tie(b.first.device, b.first.inode, b.second);
    });
    for (std::size_t k = 1; k < ids.size(); ++k)
        if (ids[k].first == ids[k - 1].first)
            classes.Join(ids[k - 1].second, ids[k].second);
    ids = {};

    std::vector<std::uint64_t> work;
    work.reserve(nodes);
    const auto inExistingFolder = [&](std::uint32_t node) {
        return named(node) && folderOfNode(node).identity != 0;
    };
    // The same name in one folder, however the folder was reached.
    sameKeys(
        work, nodes,
        [&](std::uint32_t node) -> std::optional<std::uint64_t> {
            if (!inExistingFolder(node))
                return std::nullopt;
            return hashText(leaf(node), folderOfNode(node).identity);
        },
        [&](std::uint32_t a, std::uint32_t b) {
            return folderOfNode(a).identity == folderOfNode(b).identity && leaf(a) == leaf(b);
        },
        join);
    // The same resolved path (what joins names in folders that do not exist yet).
    sameKeys(
        work, nodes,
        [&](std::uint32_t node) -> std::optional<std::uint64_t> {
            if (!named(node))
                return std::nullopt;
            return hashText(leaf(node), folderOfNode(node).prefixHash);
        },
        [&](std::uint32_t a, std::uint32_t b) { return full(a) == full(b); }, join);

    // Spellings that differ only in letter case are one name where the folder ignores case;
    // some drivers of such file systems give every spelling an inode of its own. Such pairs
    // are decided by the file system, each folder asked once.
    CaseProbe probe;
    sameKeys(
        work, nodes,
        [&](std::uint32_t node) -> std::optional<std::uint64_t> {
            if (!inExistingFolder(node))
                return std::nullopt;
            return hashText(foldCase(Native(leaf(node))), folderOfNode(node).identity);
        },
        [&](std::uint32_t a, std::uint32_t b) {
            return folderOfNode(a).identity == folderOfNode(b).identity &&
                   foldCase(Native(leaf(a))) == foldCase(Native(leaf(b)));
        },
        [&](std::uint32_t a, std::uint32_t b) {
            if (classes.Find(a) != classes.Find(b) && probe.IgnoresCase(folderOfNode(a).resolved))
                classes.Join(a, b);
        });
    sameKeys(
        work, nodes,
        [&](std::uint32_t node) -> std::optional<std::uint64_t> {
            if (!named(node))
                return std::nullopt;
            return hashText(foldCase(Native(leaf(node))), folderOfNode(node).foldedPrefixHash);
        },
        [&](std::uint32_t a, std::uint32_t b) { return foldedFull(a) == foldedFull(b); },
        [&](std::uint32_t a, std::uint32_t b) {
            if (classes.Find(a) != classes.Find(b) &&
                probe.SameIgnoringCase(fs::path(full(a)), fs::path(full(b))))
                classes.Join(a, b);
        });
    work = {};

    // Each name by its class, target or not and entry in one number, so that a class's sources
    // and targets come together, each in plan order.
    std::vector<std::uint64_t> names;
    names.reserve(nodes);
    for (std::uint32_t node = 0; node < nodes; ++node)
        if (named(node))
            names.push_back(std::uint64_t{classes.Find(node)} << 32 |
                            std::uint64_t{node % 2} << 31 | node / 2);
    sortNumbers(names);
    const auto classOf = [](std::uint64_t v) { return v >> 32; };
    const auto isTarget = [](std::uint64_t v) { return (v >> 31 & 1) != 0; };
    const auto entryOf = [](std::uint64_t v) { return static_cast<std::size_t>(v & 0x7fffffffu); };

    auto& out = check.conflicts;
    std::vector<std::size_t> S, T;
    for (std::size_t at = 0; at < names.size();) {
        S.clear();
        T.clear();
        const std::uint64_t root = classOf(names[at]);
        for (; at < names.size() && classOf(names[at]) == root; ++at)
            (isTarget(names[at]) ? T : S).push_back(entryOf(names[at]));
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

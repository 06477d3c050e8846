#include "key_search.h"

#include "key_seed.h"
#include "keystream_cipher.h"
#include "seed_scan.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace zr {

namespace {

bool typable(std::int32_t seed) {
    return seed == kEmptyKeySeed || seed <= -256 * 32;
}

// Sort key: confident, typable, evidence, then the smaller weight (shorter keys are likelier).
auto plausibility(const SeedMatch& m) {
    return std::make_tuple(m.Confident(), typable(m.seed), m.evidence,
                           m.seed == kEmptyKeySeed ? 0 : m.seed);
}

class Kept {
public:
    void Add(const SeedMatch& m) {
        ++passed_;
        // Seeds whose reseeding leaves the same state give the same keystream: one key opens
        // what the other encrypted (W = 17 and W = 1114111, for one). So do two layouts of one
        // seed. Keep one of them, the likelier.
        const std::uint32_t state = KeystreamCipher::StateAfterReseed(m.seed);
        for (SeedMatch& k : list_)
            if (KeystreamCipher::StateAfterReseed(k.seed) == state) {
                --passed_;
                if (plausibility(m) > plausibility(k))
                    k = m;
                return;
            }
        list_.push_back(m);
        if (list_.size() >= 4 * SeedSearch::kKept)
            trim();
    }
    std::vector<SeedMatch> Take(std::size_t& passed) {
        trim();
        passed = passed_;
        return std::move(list_);
    }

private:
    void trim() {
        std::sort(list_.begin(), list_.end(), [](const SeedMatch& a, const SeedMatch& b) {
            return plausibility(a) > plausibility(b);
        });
        if (list_.size() > SeedSearch::kKept)
            list_.resize(SeedSearch::kKept);
    }
    std::vector<SeedMatch> list_;
    std::size_t passed_ = 0;
};

// Fewer bits than this and nearly every seed would pass the scan, each to be decrypted and
// checked, with nothing learnt: the file is too short for its layout.
constexpr double kMinScanBits = 4.0;

} // namespace

SeedSearch FindSeeds(std::span<const std::uint8_t> encryptedHead, std::uint64_t size,
                     const std::vector<const FileLayout*>& layouts) {
    SeedSearch result;
    Kept kept;
    std::vector<std::uint8_t> plain;
    const KeystreamKernel kernel = KeystreamCipher::KernelSupported(KeystreamKernel::Avx2)
                                       ? KeystreamKernel::Avx2
                                       : KeystreamKernel::Scalar;
    for (const FileLayout* layout : layouts) {
        std::vector<detail::ScanRule> rules;
        if (detail::MakeScanRules(*layout, encryptedHead, rules) < kMinScanBits) {
            result.tooShort = true;
            continue;
        }
        const auto head = encryptedHead.first(std::min(encryptedHead.size(), layout->head));
        for (const std::int32_t seed : detail::ScanSeeds(rules, kernel)) {
            // Through the real keystream, for the fields the rules cannot see.
            plain.assign(head.begin(), head.end());
            KeystreamCipher cipher;
            cipher.Reseed(seed);
            cipher.Apply(plain);
            const LayoutMatch m = CheckLayout(*layout, plain, size);
            if (m.ok)
                kept.Add({seed, layout, m.evidence});
        }
    }
    result.matches = kept.Take(result.passed);
    return result;
}

namespace {

constexpr std::int64_t triangle(std::int64_t n) {
    return n * (n + 1) / 2;
}

// Fills positions i..1 of key (weights i..1) with codes from alphabet (sorted) summing, by
// weight, to rest. Each position takes the code nearest the mean that leaves the rest
// reachable, so the key comes out even ("kkklk"), and backtracks within a budget.
bool place(std::int64_t rest, std::int64_t i, const std::vector<int>& alphabet, std::string& key,
           int& budget) {
    if (i == 0)
        return rest == 0;
    if (--budget < 0)
        return false;
    const std::int64_t below = triangle(i - 1);
    const std::int64_t lo = alphabet.front(), hi = alphabet.back();
    const double mean = static_cast<double>(rest) / static_cast<double>(triangle(i));
    std::vector<int> order;
    for (int c : alphabet) {
        const std::int64_t left = rest - c * i;
        if (left >= lo * below && left <= hi * below)
            order.push_back(c);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return std::abs(a - mean) < std::abs(b - mean); });
    for (int c : order) {
        key[static_cast<std::size_t>(i - 1)] = static_cast<char>(c);
        if (place(rest - c * i, i - 1, alphabet, key, budget))
            return true;
    }
    return false;
}

std::optional<std::string> keyOfLength(std::int64_t weight, std::int64_t length,
                                       const std::vector<int>& alphabet) {
    std::string key(static_cast<std::size_t>(length), '\0');
    int budget = 20000;
    if (place(weight, length, alphabet, key, budget))
        return key;
    return std::nullopt;
}

std::vector<int> codes(std::initializer_list<std::pair<int, int>> ranges,
                       std::initializer_list<int> except = {}) {
    std::vector<int> v;
    for (auto [lo, hi] : ranges)
        for (int c = lo; c <= hi; ++c)
            if (std::find(except.begin(), except.end(), c) == except.end())
                v.push_back(c);
    std::sort(v.begin(), v.end());
    return v;
}

std::optional<KeyText> build(std::int32_t seed) {
    if (seed == kEmptyKeySeed)
        return KeyText{"", KeyKind::Empty};
    if (seed > 0 || seed % 256 != 0)
        return std::nullopt;
    const std::int64_t weight = -static_cast<std::int64_t>(seed) / 256;
    if (weight > kMaxKeyWeight)
        return std::nullopt;
    if (weight == 0) // only NUL characters weigh nothing
        return KeyText{std::string(1, '\0'), KeyKind::Control};
    if (weight < 32) {
        // A line of standard input holds any byte but the line end; Ctrl-Z is left out for
        // consoles that take it as the end of input.
        static const std::vector<int> control = codes({{1, 31}}, {'\n', '\r', 26});
        for (std::int64_t n = 1; n <= 3; ++n)
            if (auto key = keyOfLength(weight, n, control))
                return KeyText{*key, KeyKind::Control};
        return std::nullopt;
    }
    if (weight == 32)
        return KeyText{" ", KeyKind::Printable};
    // Without the blank, which would be lost at either end of a line: the blank never makes a
    // key shorter, since n graphic characters reach every weight from 33 x T(n) to 126 x T(n)
    // and these ranges overlap from one length to the next.
    std::int64_t n = 1;
    while (126 * triangle(n) < weight)
        ++n;
    static const std::vector<int> alnum = codes({{'0', '9'}, {'A', 'Z'}, {'a', 'z'}});
    static const std::vector<int> graphic = codes({{33, 126}});
    if (auto key = keyOfLength(weight, n, alnum))
        return KeyText{*key, KeyKind::Printable};
    if (auto key = keyOfLength(weight, n, graphic))
        return KeyText{*key, KeyKind::Printable};
    return std::nullopt;
}

} // namespace

std::optional<KeyText> ShortestKeyFor(std::int32_t seed) {
    auto key = build(seed);
    if (key) {
        const KeySeed check = DeriveKeySeed(std::string_view(key->text));
        if (!check.ok() || check.seed != seed)
            return std::nullopt;
    }
    return key;
}

} // namespace zr

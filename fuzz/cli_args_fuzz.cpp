// zr-cli's argument scan, with the option sets of its commands.

#include "cli_support.h"
#include "fuzz_check.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // transform and folder, shred, batch, recover-key.
    static const std::vector<std::string> kFlagSets[] = {
        {"--key-stdin", "--delete-source"}, {}, {"--key-stdin", "--delete-source"}, {}};
    static const std::vector<std::string> kValueSets[] = {{}, {"--mode"}, {"--to"}, {"--type"}};
    const int set = data[0] & 3;
    std::vector<std::string> args = zr::fuzz::Split(data + 1, size - 1);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    const zr::cli::Args a =
        zr::cli::ParseArgs(argc, argv.data(), 0, kFlagSets[set], kValueSets[set]);
    if (!a.error.empty())
        return 0;
    // Every argument is accounted for once, only known options are taken, none twice.
    ZR_FUZZ_CHECK(a.positional.size() + a.flags.size() + a.values.size() <= args.size());
    for (const std::string& f : a.flags) {
        ZR_FUZZ_CHECK(std::count(kFlagSets[set].begin(), kFlagSets[set].end(), f) == 1);
        ZR_FUZZ_CHECK(std::count(a.flags.begin(), a.flags.end(), f) == 1);
    }
    for (const auto& [name, value] : a.values) {
        ZR_FUZZ_CHECK(std::count(kValueSets[set].begin(), kValueSets[set].end(), name) == 1);
        ZR_FUZZ_CHECK(a.Value(name) == value);
    }
    ZR_FUZZ_CHECK(a.values.size() <= kValueSets[set].size());
    return 0;
}

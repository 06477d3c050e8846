#include "cli_support.h"
#include "commands.h"

#include "key_recovery.h"

#include <cmath>
#include <cstdio>
#include <iostream>

namespace zr::cli {

namespace {

// A key as a line of the list: control characters as \xNN, the empty key named.
std::string shown(const KeyText& key) {
    if (key.kind == KeyKind::Empty)
        return "（空密钥）";
    std::string text;
    for (const char c : key.text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            text += esc;
        } else {
            text += c;
        }
    }
    return text;
}

std::string describe(const RecoveredKey& k) {
    return "种子 " + std::to_string(k.seed) + "，密钥 " + shown(k.key) + "：解密后开头是" + k.what +
           "（证据 " + std::to_string(std::lround(k.evidence)) + " 比特）";
}

} // namespace

int RunRecoverKey(int argc, char** argv, int first) {
    const Args args = ParseArgs(argc, argv, first, {}, {"--type"});
    if (!args.error.empty()) {
        PrintUsageError(args.error);
        return kExitUsage;
    }
    if (args.positional.size() != 1 || args.positional[0].empty()) {
        PrintUsageError("recover-key 需要一个加密文件");
        return kExitUsage;
    }
    const std::string file = args.positional[0];
    const auto type = args.Value("--type");
    if (type && (type->empty() || *type == ".")) {
        PrintUsageError("--type 需要一个文件类型，例如 --type doc");
        return kExitUsage;
    }
    const KeyRecovery r = RecoverKey(file, type.value_or(""));
    if (r.status == RecoveryStatus::Unreadable) {
        PrintError(file + "：" + RecoveryFailureText(r));
        return kExitFailed;
    }
    if (r.status != RecoveryStatus::Found) {
        PrintError(RecoveryFailureText(r));
        if (r.status == RecoveryStatus::Ambiguous) {
            std::cerr << "最可能的几个：\n";
            for (std::size_t i = 0; i < r.keys.size() && i < 5; ++i)
                std::cerr << "  " << describe(r.keys[i]) << '\n';
        }
        return kExitFailed;
    }

    const RecoveredKey& best = r.keys.front();
    std::cout << best.key.text << '\n' << std::flush;
    if (r.keys.size() == 1) {
        PrintError("找到了密钥，" + describe(best));
    } else {
        PrintError("找到 " + std::to_string(r.keys.size()) +
                   " 个可能的密钥，最可能的在前（标准输出上是第一个）：");
        for (const RecoveredKey& k : r.keys)
            std::cerr << "  " << describe(k) << '\n';
    }
    switch (best.key.kind) {
    case KeyKind::Printable:
        PrintError("这个密钥与原来的密钥等效：解密结果完全相同");
        break;
    case KeyKind::Empty:
        PrintError("文件是用空密钥加密的：标准输出上是一个空行，用 --key-stdin 时输入空行即可");
        break;
    case KeyKind::Control:
        PrintError("这个种子只有由控制字符组成的密钥，在窗口里无法输入；"
                   "标准输出上的密钥可以原样交给 --key-stdin");
        break;
    }
    return kExitDone;
}

} // namespace zr::cli

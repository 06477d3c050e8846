#include "cli_support.h"
#include "commands.h"

#include "xdg_association.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace zr::cli {

namespace fs = std::filesystem;
namespace xdg = app::xdg;

namespace {

bool isProgram(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

// The zr that the association starts: the one installed beside zr-cli, else the one in PATH.
fs::path findZr() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && isProgram(self.parent_path() / "zr"))
        return self.parent_path() / "zr";
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    for (std::size_t from = 0; from < dirs.size();) {
        std::size_t colon = dirs.find(':', from);
        if (colon == std::string::npos)
            colon = dirs.size();
        const fs::path candidate = fs::path(dirs.substr(from, colon - from)) / "zr";
        if (candidate.is_absolute() && isProgram(candidate))
            return fs::absolute(candidate, ec).lexically_normal();
        from = colon + 1;
    }
    return {};
}

const char* stateText(xdg::State state) {
    switch (state) {
    case xdg::State::InPlace:
        return "已就位    ";
    case xdg::State::Outdated:
        return "待更新    ";
    case xdg::State::RemovedByUser:
        return "已被删除  ";
    case xdg::State::UsersOwn:
        return "用户自己的";
    case xdg::State::System:
        return "系统提供  ";
    case xdg::State::Absent:
        break;
    }
    return "未写入    ";
}

// The files that failed, one line each, then what they mean for the whole.
int reportFailures(const xdg::Outcome& outcome, const std::string& summary) {
    for (const std::string& f : outcome.failures)
        PrintError(f);
    PrintError(summary);
    return kExitFailed;
}

} // namespace

int RunDesktop(int argc, char** argv, int first) {
    const Args args = ParseArgs(argc, argv, first, {});
    if (!args.error.empty() || args.positional.size() != 1) {
        PrintUsageError(args.error.empty() ? "desktop 需要 install、remove 或 status 之一"
                                           : args.error);
        return kExitUsage;
    }
    const std::string action = args.positional.front();
    if (action != "install" && action != "remove" && action != "status") {
        PrintUsageError("未知的 desktop 操作：" + action + "（可用 install、remove、status）");
        return kExitUsage;
    }
    const xdg::Places places = xdg::PlacesFromEnvironment();
    if (places.dataHome.empty() || places.configHome.empty()) {
        PrintError("找不到主文件夹（HOME 未设置）");
        return kExitFailed;
    }
    const fs::path program = findZr();
    if (action == "remove") {
        const xdg::Outcome outcome = xdg::RemoveXdgAssociation(places, program);
        for (const fs::path& p : outcome.kept)
            std::cout << "保留（写入后被修改过）：" << p.string() << "\n";
        const std::string removed =
            "已删除 zr 写入的 " + std::to_string(outcome.changed) + " 个文件";
        const std::string untilInstall = "运行 zr-cli desktop install 之前，zr 不再写入。";
        if (outcome.failures.empty()) {
            std::cout << removed << "；" << untilInstall << "\n";
            return kExitDone;
        }
        // The switch itself lives in the record: without it the integration stays on.
        if (outcome.recordFailed)
            return reportFailures(outcome, "未能关闭桌面集成，它仍是开启的（" + removed + "）");
        const std::string failed = std::to_string(outcome.failures.size());
        return reportFailures(outcome, removed + "，另有 " + failed + " 个文件未能删除或改回；" +
                                           untilInstall);
    }
    if (program.empty()) {
        PrintError("找不到 zr 程序（应与 zr-cli 在同一文件夹，或在 PATH 中）");
        return kExitFailed;
    }
    if (action == "install") {
        const xdg::Outcome outcome =
            xdg::WriteXdgAssociation(program, places, xdg::WriteMode::Install);
        if (outcome.failures.empty()) {
            std::cout << "桌面集成已开启（" << program.string() << "），写入了 " << outcome.changed
                      << " 个文件。\n";
            return kExitDone;
        }
        return reportFailures(
            outcome, "桌面集成未能完全开启：" + std::to_string(outcome.failures.size()) +
                         " 个文件未能写入，写入了 " + std::to_string(outcome.changed) + " 个");
    }
    const xdg::Status status = xdg::XdgAssociationStatus(program, places);
    std::cout << (status.enabled ? "桌面集成：开启，每次启动 zr 时写入缺少的部分\n"
                                 : "桌面集成：关闭（zr-cli desktop install 可重新开启）\n");
    std::cout << "程序：" << program.string() << "\n";
    std::cout << "系统范围的安装："
              << (status.systemEntry.empty() ? std::string("无") : status.systemEntry.string())
              << "\n";
    for (const xdg::StatusItem& item : status.items) {
        std::cout << "  " << stateText(item.state) << "  " << item.path.string();
        if (item.kind == xdg::FileKind::MimeDefault)
            std::cout << "（" << xdg::kMimeType << " 的默认打开方式）";
        else if (item.kind == xdg::FileKind::ThunarActions)
            std::cout << "（Thunar 的“" << xdg::kVerb << "”动作）";
        std::cout << "\n";
    }
    return kExitDone;
}

} // namespace zr::cli

// zr-cli: the zr engine for scripts. The key is never taken from the command line, where other
// users could read it in the process list.

#include "cli_support.h"
#include "commands.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

const char* kHelp = R"(用法：
  zr-cli transform 源文件 [目标文件] [--key-stdin] [--delete-source]
      用密钥加密或解密一个文件（同一个操作）。不给目标文件时：
      名字以 .ZR 结尾（不分大小写）的去掉 .ZR，其余的加上 .ZR。
  zr-cli folder 文件夹 [--key-stdin] [--delete-source]
      用同一个密钥处理文件夹里直接存放的每个普通文件（不含子文件夹），
      写入平行的目标文件夹：文件夹名以 ZR 结尾（区分大小写）的去掉 ZR，
      其余的加上 ZR；目标文件夹不存在时创建。目标文件名为大写的文件名，
      再按上面的 .ZR 规则。每个失败的文件写一行原因。删除源文件后
      源文件夹变空时，源文件夹也被删除。
  zr-cli batch [--to 文件夹] [--key-stdin] [--delete-source] 源文件...
      用同一个密钥依次处理一组文件。目标文件在源文件旁边（按上面的 .ZR
      规则），或者用 --to 放进指定的文件夹（对文件名本身用 .ZR 规则）。
      开始之前先检查整个列表：某项的目标就是它的源文件、两项的目标相同、
      或者某项的目标是另一项的源文件时，什么都不做，在标准错误上列出
      有冲突的各项，退出码为 1。每个失败的文件写一行原因。
  zr-cli shred --mode normal|quick|thorough 文件...
      粉碎文件：normal 一般删除；quick 先把长度置零再删除；
      thorough 先用零改写全部内容并写入磁盘再删除。符号链接只删除链接本身；
      管道、套接字、设备不予处理。每个未能粉碎的文件在标准错误上写一行原因。
  zr-cli desktop install|remove|status
      本用户的桌面集成：.ZR 文件类型、图标、菜单项和文件管理器里的“加密解密”。
      zr 每次启动时写入缺少的部分；用户删除或改过的文件、用户自己的选择
      （例如 .ZR 的默认打开方式）保持不动；系统范围已安装同一个 zr 时只写入
      系统没有的部分。install：写回全部并开启；remove：删除 zr 写入主文件夹的
      全部文件，此后不再写入，直到 install；status：列出每一项的情况。
  zr-cli recover-key 加密文件 [--type 类型]
      忘了密钥时找回一个等效的密钥：试遍所有密钥，找出能把文件开头解成
      原文件类型应有内容的那个。类型取自去掉 .ZR 后的扩展名
      （report.doc.ZR 是 doc），或由 --type 指定。找到时标准输出上只有
      一行：最短的等效密钥；种子和匹配的内容写在标准错误上。找不到或
      无法确定时退出码为 1。

选项：
  --key-stdin      从标准输入读取一行作为密钥（空行即空密钥）；
                   不给时在终端上不回显地询问两次。
  --delete-source  每个文件处理完成并校验无误后删除其源文件。
  --to             batch 的目标文件夹。
  --mode           shred 的删除方式：normal、quick 或 thorough。
  --type           recover-key 的原文件类型（扩展名），如 doc、pdf、txt。
  -h, --help       显示本说明。
  --version        显示版本。
  --               选项到此为止：其后的参数都是文件名，即使以“-”开头。

退出码：0 全部完成，1 有失败（原因写在标准错误上），2 用法错误（如未知或重复的选项）；
被 Ctrl-C 等信号中断时停止当前文件（不留下半成品），退出码为 128 加信号编号（Ctrl-C 为 130）。
)";

} // namespace

int main(int argc, char** argv) {
    zr::cli::PrepareProcess();
    if (argc < 2) {
        std::cerr << kHelp;
        return zr::cli::kExitUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kHelp;
        return zr::cli::kExitDone;
    }
    if (command == "--version") {
        std::cout << "zr-cli 1.00\n";
        return zr::cli::kExitDone;
    }
    if (command == "transform")
        return zr::cli::RunTransform(argc, argv, 2);
    if (command == "folder")
        return zr::cli::RunFolder(argc, argv, 2);
    if (command == "batch")
        return zr::cli::RunBatch(argc, argv, 2);
    if (command == "shred")
        return zr::cli::RunShred(argc, argv, 2);
    if (command == "desktop")
        return zr::cli::RunDesktop(argc, argv, 2);
    if (command == "recover-key")
        return zr::cli::RunRecoverKey(argc, argv, 2);
    zr::cli::PrintUsageError("未知命令：" + command);
    return zr::cli::kExitUsage;
}

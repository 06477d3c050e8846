#include "run_process.h"
#include "shell_association.h"
#include "temp_dir.h"
#include "xdg_files.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr::app::xdg {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& p, const std::string& s) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << s;
}

bool isExecutable(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && (st.st_mode & 0111) == 0111;
}

// HOME and the XDG folders pointed at a fresh folder for each test.
class XdgAssociation : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
              "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
            ::unsetenv(name);
        }
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_DATA_HOME", data().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        fs::create_directories(data());
        fs::create_directories(config());
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    fs::path home() const { return tmp_.path() / "home"; }
    fs::path data() const { return home() / "data"; }
    fs::path config() const { return home() / "config"; }
    static int run(const fs::path& program) {
        return WriteXdgAssociation(program, PlacesFromEnvironment());
    }

    test::TempDir tmp_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

const char* const kProgram = "/opt/zr tools/zr";

TEST_F(XdgAssociation, WritesEveryFileWithTheQuotedProgramPath) {
    WriteShellAssociation(kProgram);

    EXPECT_EQ(readText(data() / "mime/packages/zr.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
              "  <mime-type type=\"application/x-zr\">\n"
              "    <comment>加密文件</comment>\n"
              "    <icon name=\"zr\"/>\n"
              "    <glob pattern=\"*.zr\"/>\n"
              "  </mime-type>\n"
              "</mime-info>\n");
    EXPECT_EQ(readText(data() / "applications/zr.desktop"), "[Desktop Entry]\n"
                                                            "Type=Application\n"
                                                            "Name=zr\n"
                                                            "GenericName=文件加密解密\n"
                                                            "Comment=用密钥加密或解密文件\n"
                                                            "Exec=\"/opt/zr tools/zr\" %f\n"
                                                            "Icon=zr\n"
                                                            "Terminal=false\n"
                                                            "MimeType=application/x-zr;\n"
                                                            "Categories=Utility;\n");
    EXPECT_EQ(readText(config() / "mimeapps.list"),
              "[Default Applications]\napplication/x-zr=zr.desktop;\n");
    EXPECT_EQ(readText(data() / "nemo/actions/zr.nemo_action"), "[Nemo Action]\n"
                                                                "Name=加密解密\n"
                                                                "Comment=用 zr 加密或解密这个文件\n"
                                                                "Exec='/opt/zr tools/zr' %F\n"
                                                                "Icon-Name=zr\n"
                                                                "Selection=s\n"
                                                                "Extensions=any;\n");
    EXPECT_EQ(readText(data() / "kio/servicemenus/zr.desktop"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=zr\n"
              "NoDisplay=true\n"
              "Exec=\"/opt/zr tools/zr\" %f\n"
              "Icon=zr\n"
              "MimeType=application/octet-stream;\n"
              "Actions=zrEncryptDecrypt;\n"
              "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
              "\n"
              "[Desktop Action zrEncryptDecrypt]\n"
              "Name=加密解密\n"
              "Icon=zr\n"
              "Exec=\"/opt/zr tools/zr\" %f\n");
    const std::string uca = readText(config() / "Thunar/uca.xml");
    EXPECT_EQ(uca.substr(0, 48), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>");
    EXPECT_NE(uca.find("\t<name>加密解密</name>\n"), std::string::npos);
    EXPECT_NE(uca.find("\t<command>&apos;/opt/zr tools/zr&apos; %f</command>\n"),
              std::string::npos);
    EXPECT_EQ(uca.substr(uca.size() - 21), "</action>\n</actions>\n");

    EXPECT_TRUE(isExecutable(data() / "nautilus/scripts/加密解密"));
    EXPECT_TRUE(isExecutable(data() / "kio/servicemenus/zr.desktop"));
    EXPECT_TRUE(fs::is_regular_file(data() / "icons/hicolor/scalable/apps/zr.svg"));
    EXPECT_TRUE(fs::is_regular_file(data() / "icons/hicolor/48x48/apps/zr.png"));
    EXPECT_TRUE(fs::is_regular_file(data() / "mime/application/x-zr.xml"))
        << "update-mime-database did not run";
    if (fs::exists("/usr/bin/update-desktop-database")) {
        EXPECT_TRUE(fs::is_regular_file(data() / "applications/mimeinfo.cache"))
            << "update-desktop-database did not run";
    }
}

TEST_F(XdgAssociation, NautilusScriptHandsTheAbsolutePathOfTheChosenFile) {
    // A stand-in program that prints its arguments shows what the script hands over.
    const fs::path program = tmp_.path() / "bin dir" / "it's zr";
    writeText(program, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done\n");
    fs::permissions(program, fs::perms::owner_all);
    run(program);
    const fs::path script = data() / "nautilus/scripts/加密解密";
    const auto relative = test::RunProcess({"/bin/sh", "-c", "cd \"$1\" && \"$2\" 'a b.txt' other",
                                            "sh", tmp_.path().string(), script.string()});
    EXPECT_EQ(relative.out, "[" + (tmp_.path() / "a b.txt").string() + "]");
    const auto absolute = test::RunProcess({script.string(), "/x/$y z.zr"});
    EXPECT_EQ(absolute.out, "[/x/$y z.zr]");
}

TEST_F(XdgAssociation, DesktopFilesPassTheirValidator) {
    if (!fs::exists("/usr/bin/desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    run("/opt/zr \"tools\" $HOME/100%/zr");
    for (const fs::path& f :
         {data() / "applications/zr.desktop", data() / "kio/servicemenus/zr.desktop"}) {
        const auto r = test::RunProcess({"/usr/bin/desktop-file-validate", f.string()});
        EXPECT_EQ(r.exitCode, 0) << f << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "") << f;
    }
    // A % in the path must not turn into a file manager's code.
    EXPECT_NE(readText(config() / "Thunar/uca.xml").find("100%%/zr&apos; %f"), std::string::npos);
    EXPECT_FALSE(fs::exists(data() / "nemo/actions/zr.nemo_action"));
}

TEST_F(XdgAssociation, DesktopToolsSeeTheTypeAndTheDefaultHandler) {
    if (!fs::exists("/usr/bin/xdg-mime"))
        GTEST_SKIP() << "xdg-utils is not installed";
    run(kProgram);
    writeText(tmp_.path() / "a.ZR", "x");
    writeText(tmp_.path() / "b.zr", "y");
    for (const char* name : {"a.ZR", "b.zr"}) {
        const auto r = test::RunProcess(
            {"/usr/bin/xdg-mime", "query", "filetype", (tmp_.path() / name).string()});
        EXPECT_EQ(r.out, "application/x-zr\n") << name << r.err;
    }
    const auto d = test::RunProcess({"/usr/bin/xdg-mime", "query", "default", "application/x-zr"});
    EXPECT_EQ(d.out, "zr.desktop\n") << d.err;
}

TEST_F(XdgAssociation, ASecondStartChangesNothing) {
    ASSERT_GT(run(kProgram), 0);
    const auto stamp = fs::last_write_time(data() / "applications/zr.desktop");
    const auto mimeStamp = fs::last_write_time(data() / "mime/mime.cache");
    EXPECT_EQ(run(kProgram), 0);
    EXPECT_EQ(fs::last_write_time(data() / "applications/zr.desktop"), stamp);
    EXPECT_EQ(fs::last_write_time(data() / "mime/mime.cache"), mimeStamp);
}

TEST_F(XdgAssociation, AMovedProgramRewritesEveryPath) {
    run(kProgram);
    EXPECT_GT(run("/home/u/新位置/zr"), 0);
    for (const fs::path& f :
         {data() / "applications/zr.desktop", data() / "nautilus/scripts/加密解密",
          data() / "nemo/actions/zr.nemo_action", data() / "kio/servicemenus/zr.desktop",
          config() / "Thunar/uca.xml"}) {
        const std::string text = readText(f);
        EXPECT_EQ(text.find("/opt/zr tools"), std::string::npos) << f;
        EXPECT_NE(text.find("/home/u/新位置/zr"), std::string::npos) << f;
    }
    // The earlier action of ours is replaced, not added to.
    const std::string uca = readText(config() / "Thunar/uca.xml");
    EXPECT_EQ(uca.find(kThunarId), uca.rfind(kThunarId));
}

TEST_F(XdgAssociation, KeepsTheUsersOwnThunarActionsAndDefaults) {
    const std::string userAction = "<action>\n\t<icon>utilities-terminal</icon>\n"
                                   "\t<name>Open Terminal Here</name>\n"
                                   "\t<unique-id>1562857335553745-1</unique-id>\n"
                                   "\t<command>exo-open --working-directory %f</command>\n"
                                   "\t<patterns>*</patterns>\n\t<directories/>\n</action>\n";
    writeText(config() / "Thunar/uca.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + userAction +
                  "</actions>\n");
    writeText(config() / "mimeapps.list", "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
                                          "[Default Applications]\n"
                                          "image/png=eog.desktop;\n"
                                          "application/x-zr=other.desktop;\n");
    run(kProgram);
    const std::string uca = readText(config() / "Thunar/uca.xml");
    EXPECT_NE(uca.find("<actions>\n" + userAction + "<action>\n\t<icon>zr</icon>"),
              std::string::npos)
        << uca;
    EXPECT_EQ(readText(config() / "mimeapps.list"),
              "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
              "[Default Applications]\n"
              "image/png=eog.desktop;\n"
              "application/x-zr=zr.desktop;\n");
    EXPECT_EQ(run(kProgram), 0);
}

TEST(XdgMerge, LeavesAThunarFileItCannotReadAlone) {
    EXPECT_FALSE(MergeThunarActions(std::string("<actions><action>half"), "<action/>\n"));
    EXPECT_FALSE(MergeThunarActions(std::string(""), "<action/>\n"));
}

TEST(XdgMerge, MimeAppsGainsTheSectionWhenItHasNone) {
    EXPECT_EQ(MergeMimeApps(std::string("[Added Associations]\ntext/plain=a.desktop;")),
              "[Added Associations]\ntext/plain=a.desktop;\n\n"
              "[Default Applications]\napplication/x-zr=zr.desktop;\n");
    // Only the key itself is ours: a longer type with the same beginning stays.
    EXPECT_EQ(MergeMimeApps(std::string("[Default Applications]\napplication/x-zrx=y.desktop;\n")),
              "[Default Applications]\napplication/x-zr=zr.desktop;\n"
              "application/x-zrx=y.desktop;\n");
}

TEST_F(XdgAssociation, UpdatesALinkedMimeAppsListWhereItLives) {
    const fs::path real = tmp_.path() / "dotfiles" / "mimeapps.list";
    writeText(real, "[Default Applications]\nimage/png=eog.desktop;\n");
    fs::create_symlink(real, config() / "mimeapps.list");
    run(kProgram);
    EXPECT_TRUE(fs::is_symlink(config() / "mimeapps.list"));
    EXPECT_NE(readText(real).find("application/x-zr=zr.desktop;"), std::string::npos);
}

TEST_F(XdgAssociation, APathTheFilesCannotCarryWritesNoCommand) {
    EXPECT_FALSE(UsablePath("/opt/zr\n/zr"));
    EXPECT_FALSE(UsablePath("/opt/\xff/zr"));
    EXPECT_FALSE(UsablePath("/opt/\xe5\x8a/zr")); // a character cut short
    EXPECT_TRUE(UsablePath("/opt/加密/zr"));
    run("/opt/zr\nExec=/bin/evil/zr");
    EXPECT_FALSE(fs::exists(data() / "applications/zr.desktop"));
    EXPECT_FALSE(fs::exists(config() / "Thunar/uca.xml"));
    EXPECT_TRUE(fs::exists(data() / "mime/packages/zr.xml"));
}

TEST(XdgQuoting, ShellWordsSurviveTheShell) {
    for (const std::string s : {"plain", "a b", "it's", "$(rm -rf x)`y`", "\\\"'\"'"}) {
        const auto r = test::RunProcess({"/bin/sh", "-c", "printf %s " + ShellWord(s)});
        EXPECT_EQ(r.out, s);
    }
}

TEST(XdgQuoting, ExecArgumentsEscapeTheReservedCharacters) {
    // Inside the quotes " ` $ \ get a backslash and % is doubled; then the key-file level
    // doubles every backslash.
    EXPECT_EQ(DesktopExecArgument("/a \"b\"/$c`d`/e\\f/100%"),
              "\"/a \\\\\"b\\\\\"/\\\\$c\\\\`d\\\\`/e\\\\\\\\f/100%%\"");
}

TEST_F(XdgAssociation, AReadOnlyDataFolderIsSilent) {
    if (!test::CanMount())
        GTEST_SKIP() << "needs permission to mount";
    ASSERT_EQ(::mount(data().c_str(), data().c_str(), nullptr, MS_BIND, nullptr), 0);
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{data()};
    ASSERT_EQ(::mount(nullptr, data().c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr),
              0);
    WriteShellAssociation(kProgram);
    EXPECT_TRUE(fs::is_empty(data()));
    // The config home is still writable: the file-manager action there is still written, but
    // no default handler names a desktop entry that could not be written.
    EXPECT_TRUE(fs::exists(config() / "Thunar/uca.xml"));
    EXPECT_FALSE(fs::exists(config() / "mimeapps.list"));
}

} // namespace
} // namespace zr::app::xdg

namespace zr::app::xdg {
namespace {

TEST(XdgInstall, SystemMimeTypeMatchesThePerUserOne) {
    std::ifstream in(ZR_RESOURCES_DIR "/zr-mime.xml", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text, MimeTypeXml());
}

TEST(XdgInstall, IconsBuiltIntoTheProgramAreTheCommittedOnes) {
    ASSERT_EQ(kIconFileCount, 8u);
    std::ifstream in(ZR_RESOURCES_DIR "/icons/zr.svg", std::ios::binary);
    const std::string svg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(kIconFiles[0].data), kIconFiles[0].size),
              svg);
    EXPECT_STREQ(kIconFiles[0].path, "icons/hicolor/scalable/apps/zr.svg");
}

} // namespace
} // namespace zr::app::xdg

#include "run_process.h"
#include "shell_association.h"
#include "temp_dir.h"
#include "xdg_association.h"
#include "xdg_files.h"
#include "xdg_record.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iomanip>
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
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS",
                                 "XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                                 "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "PATH"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
            if (std::string_view(name) != "PATH")
                ::unsetenv(name);
        }
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_DATA_HOME", data().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        // The machine's own data and configuration stay out of the way; Thunar's defaults are
        // there as an installed Thunar keeps them.
        ::setenv("XDG_DATA_DIRS", systemData().c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (tmp_.path() / "xdg").c_str(), 1);
        writeText(tmp_.path() / "xdg/Thunar/uca.xml", kThunarDefaults);
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
    fs::path systemData() const { return tmp_.path() / "usr/share"; }
    static int run(const fs::path& program, WriteMode mode = WriteMode::Start) {
        return WriteXdgAssociation(program, PlacesFromEnvironment(), mode).changed;
    }
    static constexpr const char* kThunarDefaults =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
        "\t<name>Open Terminal Here</name>\n\t<directories/>\n</action>\n</actions>";

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
              "    <generic-icon name=\"zr\"/>\n"
              "    <glob pattern=\"*.zr\"/>\n"
              "  </mime-type>\n"
              "</mime-info>\n");
    EXPECT_EQ(readText(data() / "applications/org.zrproject.zr.desktop"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=zr\n"
              "GenericName=File Encryption\n"
              "GenericName[zh_CN]=文件加密解密\n"
              "Comment=Encrypt or decrypt files with a key\n"
              "Comment[zh_CN]=用密钥加密或解密文件\n"
              "Keywords=encrypt;decrypt;key;ZR;\n"
              "Keywords[zh_CN]=加密;解密;密钥;ZR;\n"
              "TryExec=/opt/zr tools/zr\n"
              "Exec=\"/opt/zr tools/zr\" %F\n"
              "Icon=zr\n"
              "Terminal=false\n"
              "MimeType=application/x-zr;\n"
              "Categories=Utility;\n");
    EXPECT_EQ(readText(config() / "mimeapps.list"),
              "[Default Applications]\napplication/x-zr=org.zrproject.zr.desktop;\n");
    EXPECT_EQ(readText(data() / "nemo/actions/zr.nemo_action"),
              "[Nemo Action]\n"
              "Name=加密解密\n"
              "Comment=用 zr 加密或解密选中的文件\n"
              "Exec='/opt/zr tools/zr' %F\n"
              "Icon-Name=zr\n"
              "Selection=notnone\n"
              "Extensions=nodirs;\n"
              "Dependencies=/opt/zr tools/zr;\n");
    EXPECT_EQ(readText(data() / "kio/servicemenus/zr.desktop"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=zr\n"
              "NoDisplay=true\n"
              "TryExec=/opt/zr tools/zr\n"
              "Exec=\"/opt/zr tools/zr\" %F\n"
              "Icon=zr\n"
              "MimeType=application/octet-stream;\n"
              "Actions=zrEncryptDecrypt;\n"
              "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
              "\n"
              "[Desktop Action zrEncryptDecrypt]\n"
              "Name=加密解密\n"
              "Icon=zr\n"
              "Exec=\"/opt/zr tools/zr\" %F\n");
    EXPECT_EQ(readText(data() / "file-manager/actions/zr.desktop"),
              "[Desktop Entry]\n"
              "Type=Action\n"
              "Name=加密解密\n"
              "Tooltip=用 zr 加密或解密选中的文件\n"
              "Icon=zr\n"
              "Profiles=files;\n"
              "\n"
              "[X-Action-Profile files]\n"
              "Name=加密解密\n"
              "Exec='/opt/zr tools/zr' %F\n"
              "TryExec=/opt/zr tools/zr\n"
              "MimeTypes=all/allfiles;\n");
    // A new uca.xml is Thunar's own defaults with our action added.
    const std::string uca = readText(config() / "Thunar/uca.xml");
    const std::string defaults = kThunarDefaults;
    EXPECT_EQ(uca.substr(0, defaults.size() - 10), defaults.substr(0, defaults.size() - 10));
    EXPECT_NE(uca.find("\t<name>加密解密</name>\n"), std::string::npos);
    EXPECT_NE(uca.find("\t<command>&apos;/opt/zr tools/zr&apos; %F</command>\n"),
              std::string::npos);
    EXPECT_EQ(uca.substr(uca.size() - 20), "</action>\n</actions>");

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

TEST_F(XdgAssociation, APlainProgramPathIsNotQuotedAndFoldersAreMadePrivate) {
    // xdg-open's fallback opener reads the program as the first blank-separated word of Exec.
    fs::remove_all(home());
    run("/usr/lib/zr-1.0/zr");
    const std::string entry = readText(data() / "applications/org.zrproject.zr.desktop");
    EXPECT_NE(entry.find("\nExec=/usr/lib/zr-1.0/zr %F\n"), std::string::npos);
    EXPECT_EQ(DesktopEntryProgram(entry), "/usr/lib/zr-1.0/zr");
    EXPECT_NE(readText(config() / "Thunar/uca.xml").find("<command>/usr/lib/zr-1.0/zr %F<"),
              std::string::npos);
    EXPECT_NE(
        readText(data() / "file-manager/actions/zr.desktop").find("Exec=/usr/lib/zr-1.0/zr %F"),
        std::string::npos);
    for (const fs::path& f : {home(), data(), config(), data() / "nemo/actions"})
        EXPECT_EQ(fs::status(f).permissions(), fs::perms::owner_all) << f;
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
    EXPECT_EQ(relative.out, "[" + (tmp_.path() / "a b.txt").string() + "][" +
                                (tmp_.path() / "other").string() + "]");
    const auto absolute = test::RunProcess({script.string(), "/x/$y z.zr"});
    EXPECT_EQ(absolute.out, "[/x/$y z.zr]");
    // Nautilus mangles arguments with a "%"; the variable has every selected path whole.
    const auto selected =
        test::RunProcess({script.string(), "mangled"}, {},
                         {"NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=/d/100%25 a.txt\n/d/*.zr\n"});
    EXPECT_EQ(selected.out, "[/d/100%25 a.txt][/d/*.zr]");
}

TEST_F(XdgAssociation, NautilusScriptAnswersAFolderInsteadOfOpeningIt) {
    const fs::path program = tmp_.path() / "zr";
    writeText(program, "#!/bin/sh\necho zr started\n");
    fs::permissions(program, fs::perms::owner_all);
    const fs::path bin = tmp_.path() / "bin";
    writeText(bin / "zenity", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done\n");
    fs::permissions(bin / "zenity", fs::perms::owner_all);
    run(program);
    const auto r =
        test::RunProcess({(data() / "nautilus/scripts/加密解密").string(), tmp_.path().string()},
                         {}, {"PATH=" + bin.string() + ":/usr/bin:/bin"});
    EXPECT_EQ(r.out.find("zr started"), std::string::npos);
    EXPECT_NE(r.out.find("[--text=“加密解密”只用于文件，不用于文件夹：" + tmp_.path().string()),
              std::string::npos)
        << r.out;
}

TEST_F(XdgAssociation, DesktopFilesPassTheirValidator) {
    if (!fs::exists("/usr/bin/desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    run("/opt/zr \"tools\" $HOME/100%/zr");
    for (const fs::path& f : {data() / "applications/org.zrproject.zr.desktop",
                              data() / "kio/servicemenus/zr.desktop"}) {
        const auto r = test::RunProcess({"/usr/bin/desktop-file-validate", f.string()});
        EXPECT_EQ(r.exitCode, 0) << f << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "") << f;
    }
    // A % in the path must not turn into a file manager's code.
    EXPECT_NE(readText(config() / "Thunar/uca.xml").find("100%%/zr&apos; %F"), std::string::npos);
    EXPECT_NE(readText(data() / "nemo/actions/zr.nemo_action").find("100%%/zr' %F"),
              std::string::npos);
    EXPECT_NE(readText(data() / "file-manager/actions/zr.desktop")
                  .find("TryExec=/opt/zr \"tools\" $HOME/100%%/zr\n"),
              std::string::npos);
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
    EXPECT_EQ(d.out, "org.zrproject.zr.desktop\n") << d.err;
}

TEST_F(XdgAssociation, ASecondStartChangesNothing) {
    ASSERT_GT(run(kProgram), 0);
    const auto stamp = fs::last_write_time(data() / "applications/org.zrproject.zr.desktop");
    const auto mimeStamp = fs::last_write_time(data() / "mime/mime.cache");
    EXPECT_EQ(run(kProgram), 0);
    EXPECT_EQ(fs::last_write_time(data() / "applications/org.zrproject.zr.desktop"), stamp);
    EXPECT_EQ(fs::last_write_time(data() / "mime/mime.cache"), mimeStamp);
}

TEST_F(XdgAssociation, AMovedProgramRewritesEveryPath) {
    run(kProgram);
    EXPECT_GT(run("/home/u/新位置/zr"), 0);
    for (const fs::path& f :
         {data() / "applications/org.zrproject.zr.desktop", data() / "nautilus/scripts/加密解密",
          data() / "nemo/actions/zr.nemo_action", data() / "kio/servicemenus/zr.desktop",
          data() / "file-manager/actions/zr.desktop", config() / "Thunar/uca.xml"}) {
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
    // The user's own default for the type stands.
    EXPECT_EQ(readText(config() / "mimeapps.list"),
              "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
              "[Default Applications]\n"
              "image/png=eog.desktop;\n"
              "application/x-zr=other.desktop;\n");
    EXPECT_EQ(run(kProgram), 0);
}

TEST(XdgMerge, LeavesAThunarFileItCannotReadAlone) {
    EXPECT_FALSE(MergeThunarActions(std::string("<actions><action>half"), "<action/>\n"));
    EXPECT_FALSE(MergeThunarActions(std::string(""), "<action/>\n"));
}

TEST(XdgMerge, MimeAppsGainsTheSectionWhenItHasNone) {
    EXPECT_EQ(MergeMimeApps(std::string("[Added Associations]\ntext/plain=a.desktop;")),
              "[Added Associations]\ntext/plain=a.desktop;\n\n"
              "[Default Applications]\napplication/x-zr=org.zrproject.zr.desktop;\n");
    // Only the key itself is ours: a longer type with the same beginning stays.
    EXPECT_EQ(MergeMimeApps(std::string("[Default Applications]\napplication/x-zrx=y.desktop;\n")),
              "[Default Applications]\napplication/x-zr=org.zrproject.zr.desktop;\n"
              "application/x-zrx=y.desktop;\n");
    // zr taken off the type's applications is a choice too; an empty default is none.
    const std::string removed =
        "[Removed Associations]\napplication/x-zr=a.desktop;org.zrproject.zr.desktop;\n";
    EXPECT_EQ(MergeMimeApps(removed), removed);
    EXPECT_EQ(MergeMimeApps(std::string("[Default Applications]\napplication/x-zr=\n")),
              "[Default Applications]\napplication/x-zr=org.zrproject.zr.desktop;\n");
    EXPECT_EQ(RemoveMimeAppsDefault("[Default Applications]\n"
                                    "application/x-zr=org.zrproject.zr.desktop;\na/b=c;\n"),
              "[Default Applications]\na/b=c;\n");
}

TEST_F(XdgAssociation, UpdatesALinkedMimeAppsListWhereItLives) {
    const fs::path real = tmp_.path() / "dotfiles" / "mimeapps.list";
    writeText(real, "[Default Applications]\nimage/png=eog.desktop;\n");
    fs::create_symlink(real, config() / "mimeapps.list");
    run(kProgram);
    EXPECT_TRUE(fs::is_symlink(config() / "mimeapps.list"));
    EXPECT_NE(readText(real).find("application/x-zr=org.zrproject.zr.desktop;"), std::string::npos);
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

TEST_F(XdgAssociation, AnEntryTheUserRemovedIsNotWrittenAgain) {
    run(kProgram);
    fs::remove(data() / "nautilus/scripts/加密解密");
    writeText(config() / "Thunar/uca.xml", kThunarDefaults); // the action deleted in Thunar
    writeText(config() / "mimeapps.list", "[Default Applications]\n");
    EXPECT_EQ(run(kProgram), 0);
    EXPECT_FALSE(fs::exists(data() / "nautilus/scripts/加密解密"));
    EXPECT_EQ(readText(config() / "Thunar/uca.xml"), kThunarDefaults);
    EXPECT_EQ(readText(config() / "mimeapps.list"), "[Default Applications]\n");
    // Asked for explicitly, everything comes back.
    EXPECT_EQ(run(kProgram, WriteMode::Install), 3);
    EXPECT_TRUE(fs::exists(data() / "nautilus/scripts/加密解密"));
    EXPECT_TRUE(HasThunarAction(readText(config() / "Thunar/uca.xml")));
    EXPECT_TRUE(MimeAppsNamesZr(readText(config() / "mimeapps.list")));
}

TEST_F(XdgAssociation, RemoveTakesAwayWhatZrWroteAndItStaysAway) {
    const std::string userUca = "<actions>\n<action>\n\t<name>Mine</name>\n</action>\n</actions>\n";
    const std::string userList = "[Default Applications]\nimage/png=eog.desktop;\n";
    writeText(config() / "Thunar/uca.xml", userUca);
    writeText(config() / "mimeapps.list", userList);
    writeText(data() / "applications/mine.desktop", "[Desktop Entry]\n");
    run(kProgram);
    writeText(data() / "kio/servicemenus/zr.desktop", "changed by the user\n");
    // A damaged record naming a file of the user's does not get it deleted.
    std::ofstream(RecordPath(PlacesFromEnvironment()), std::ios::app)
        << "file new " << std::hex << std::setw(16) << std::setfill('0')
        << ContentHash("[Desktop Entry]\n") << " "
        << (data() / "applications/mine.desktop").string() << "\n";

    const Outcome removed = RemoveXdgAssociation(PlacesFromEnvironment());
    EXPECT_TRUE(removed.failures.empty());
    EXPECT_EQ(removed.kept, std::vector<fs::path>{data() / "kio/servicemenus/zr.desktop"});
    EXPECT_EQ(readText(config() / "Thunar/uca.xml"), userUca);
    EXPECT_EQ(readText(config() / "mimeapps.list"), userList);
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(home()))
        if (!e.is_directory())
            left.push_back(fs::relative(e.path(), home()).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{
                        "config/Thunar/uca.xml", "config/mimeapps.list",
                        "config/zr/desktop-integration", "data/applications/mimeinfo.cache",
                        "data/applications/mine.desktop", "data/kio/servicemenus/zr.desktop"}));
    EXPECT_FALSE(fs::exists(data() / "mime"));
    // Off until asked again.
    EXPECT_EQ(run(kProgram), 0);
    EXPECT_FALSE(fs::exists(data() / "nemo"));
    EXPECT_GT(run(kProgram, WriteMode::Install), 0);
    EXPECT_TRUE(fs::exists(data() / "nemo/actions/zr.nemo_action"));
}

TEST_F(XdgAssociation, ASystemWideInstallOfTheSameProgramIsNotDuplicated) {
    const fs::path program = tmp_.path() / "usr/bin/zr";
    writeText(program, "#!/bin/sh\n");
    fs::permissions(program, fs::perms::owner_all);
    run(program); // a per-user association from before the package
    // What the package installs, with the program found through PATH.
    ::setenv("PATH", (tmp_.path() / "usr/bin").c_str(), 1);
    writeText(systemData() / "applications" / kDesktopId, DesktopEntry("zr"));
    writeText(systemData() / "mime/packages/zr.xml", MimeTypeXml());
    for (std::size_t i = 0; i < kIconFileCount; ++i)
        writeText(systemData() / kIconFiles[i].path, "icon");
    for (const char* f : {"nemo/actions/zr.nemo_action", "kio/servicemenus/zr.desktop",
                          "file-manager/actions/zr.desktop"})
        writeText(systemData() / f, "action");

    EXPECT_EQ(SystemDesktopEntryFor(program, PlacesFromEnvironment()),
              systemData() / "applications" / kDesktopId);
    EXPECT_TRUE(SystemDesktopEntryFor("/opt/other/zr", PlacesFromEnvironment()).empty());
    run(program);
    for (const char* gone : {"applications/org.zrproject.zr.desktop", "mime/packages/zr.xml",
                             "icons/hicolor/48x48/apps/zr.png", "nemo/actions/zr.nemo_action",
                             "kio/servicemenus/zr.desktop", "file-manager/actions/zr.desktop"})
        EXPECT_FALSE(fs::exists(data() / gone)) << gone;
    EXPECT_FALSE(MimeAppsNamesZr(readText(config() / "mimeapps.list")));
    // What has no system-wide place stays.
    EXPECT_TRUE(fs::exists(data() / "nautilus/scripts/加密解密"));
    EXPECT_TRUE(HasThunarAction(readText(config() / "Thunar/uca.xml")));
}

TEST_F(XdgAssociation, WithoutThunarNoActionsFileIsStarted) {
    // A uca.xml of ours would keep a Thunar installed later from copying its defaults.
    fs::remove_all(tmp_.path() / "xdg");
    run(kProgram);
    EXPECT_FALSE(fs::exists(config() / "Thunar"));
}

TEST(XdgRecord, ReadsBackWhatItWritesAndSkipsDamage) {
    Record r;
    r.enabled = false;
    r.Set({FileKind::Whole, "/h/a b/加密解密", 0x0123456789abcdefull, true});
    r.Set({FileKind::ThunarActions, "/h/odd\\name\nline", 42, false});
    r.Set({FileKind::MimeDefault, "/h/mimeapps.list", 7, true});
    r.folders = {"/h/.local", "/h/new\nline"};
    EXPECT_EQ(ParseRecord(FormatRecord(r)), r);
    const Record damaged = ParseRecord("enabled yes\nfile new 0123 /short\n"
                                       "file maybe 0123456789abcdef /x\n"
                                       "file new 0123456789abcdef relative\n"
                                       "mimeapps old 0123456789abcdef /ok\n");
    ASSERT_EQ(damaged.entries.size(), 1u);
    EXPECT_EQ(damaged.entries[0].path, "/ok");
}

} // namespace
} // namespace zr::app::xdg

namespace zr::app::xdg {
namespace {

std::string resource(const char* name) {
    std::ifstream in(std::string(ZR_RESOURCES_DIR "/") + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(XdgInstall, SystemMimeTypeMatchesThePerUserOne) {
    EXPECT_EQ(resource("zr-mime.xml"), MimeTypeXml());
}

// A system-wide install is what a user's start would write, for the program found in PATH;
// it is how a start recognises the install and writes no duplicates.
TEST(XdgInstall, SystemDesktopFilesAreThePerUserOnesForTheCommandZr) {
    EXPECT_EQ(resource("org.zrproject.zr.desktop"), DesktopEntry("zr"));
    EXPECT_EQ(resource("zr.nemo_action"), NemoAction("zr"));
    EXPECT_EQ(resource("zr-servicemenu.desktop"), DolphinServiceMenu("zr"));
    EXPECT_EQ(resource("zr-actions.desktop"), FileManagerAction("zr"));
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

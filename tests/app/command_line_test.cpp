#include "command_line.h"

#include <gtest/gtest.h>

using zr::app::FilesFromArguments;
using zr::app::ParseCommandLine;

namespace {

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// The file handed on, or "<menu>".
std::string Outcome(std::u16string_view line) {
    const auto r = ParseCommandLine(line);
    return r.handOn ? Utf8(r.cmdLine) : "<menu>";
}

TEST(CommandLine, ProgramPathAloneOpensTheMenu) {
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe"), "<menu>");
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe "), "<menu>");
    EXPECT_EQ(Outcome(u"\"C:\\Tools\\zr.exe\""), "<menu>");
    EXPECT_EQ(Outcome(u"\"C:\\Tools\\zr.exe\" "), "<menu>");
    EXPECT_EQ(Outcome(u"\"C:\\My Tools\\zr.exe\" "), "<menu>");
    // What is left for the menu still begins with the program name.
    EXPECT_EQ(ParseCommandLine(u"\"C:\\Tools\\zr.exe\" ").cmdLine, u"zr.exe\" ");
}

TEST(CommandLine, UnquotedProgramAndFileHandsTheWholeFileOn) {
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe C:\\Data\\report.doc"), "C:\\Data\\report.doc");
    // The name runs to the end, blanks and all.
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe C:\\My Files\\a b.txt"), "C:\\My Files\\a b.txt");
    EXPECT_EQ(Outcome(u"zr.exe D:\\x\\plan.ZR"), "D:\\x\\plan.ZR");
    // Shortest file that is cut out: the text must be longer than 9 characters.
    EXPECT_EQ(Outcome(u"zr.exe C:\\"), "C:\\");
    EXPECT_EQ(Outcome(u"zr.exe C:"), "<menu>");
}

TEST(CommandLine, QuotedProgramThenFileWithBlanks) {
    EXPECT_EQ(Outcome(u"\"C:\\Program Files\\zr\\zr.exe\" C:\\My Files\\a b.txt"),
              "C:\\My Files\\a b.txt");
    EXPECT_EQ(Outcome(u"\"C:\\Tools\\zr.exe\" D:\\x\\plan.zr"), "D:\\x\\plan.zr");
}

TEST(CommandLine, BothPathsQuotedOpensTheMenu) {
    EXPECT_EQ(Outcome(u"\"C:\\Tools\\zr.exe\" \"C:\\Data\\report.doc\""), "<menu>");
}

TEST(CommandLine, FileWithoutDriveLetterOpensTheMenu) {
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe report.doc"), "<menu>");
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe ..\\Data\\report.doc"), "<menu>");
    EXPECT_EQ(Outcome(u"C:\\Tools\\zr.exe \\\\server\\share\\a.txt"), "<menu>");
    EXPECT_EQ(Outcome(u"\"C:\\Tools\\zr.exe\" \\\\server\\share\\a.txt"), "<menu>");
}

TEST(CommandLine, FolderNamedLikeTheProgramStopsTheSkipTooEarly) {
    EXPECT_EQ(Outcome(u"C:\\zr.exe.d\\zr.exe C:\\a.txt"), "<menu>");
}

TEST(CommandLine, NoProgramNameHandsOnAnEmptyName) {
    const auto r = ParseCommandLine(u"C:\\Tools\\crypt.exe C:\\a.txt");
    EXPECT_TRUE(r.handOn);
    EXPECT_TRUE(r.cmdLine.empty());
    EXPECT_TRUE(ParseCommandLine(u"").handOn);
}

TEST(CommandLine, ProgramNameMatchesInAnyLetterCase) {
    EXPECT_EQ(Outcome(u"C:\\TOOLS\\ZR.EXE C:\\A.TXT"), "C:\\A.TXT");
    EXPECT_EQ(Outcome(u"\"C:\\TOOLS\\Zr.Exe\" C:\\A.TXT"), "C:\\A.TXT");
}

TEST(CommandLine, ChineseFileNamesComeThroughWhole) {
    const auto r = ParseCommandLine(u"C:\\Tools\\zr.exe C:\\资料\\报告.doc");
    EXPECT_TRUE(r.handOn);
    EXPECT_EQ(r.cmdLine, u"C:\\资料\\报告.doc");
}

TEST(CommandLine, SecondCutLooksAtTheResultOfTheFirst) {
    // After the first cut "C:\abcdef:x" has ':' at 10, so the second cut applies as well.
    EXPECT_EQ(Outcome(u"zr.exe C:\\abcdef:x"), "f:x");
}

TEST(Arguments, AbsolutePathsAreHandedOnAndAnythingElseOpensTheMenu) {
    using Files = std::vector<std::string>;
    EXPECT_EQ(FilesFromArguments({"/data/report.doc"}), Files{"/data/report.doc"});
    EXPECT_EQ(FilesFromArguments({"/data/my files/a b.txt"}), Files{"/data/my files/a b.txt"});
    // A file manager's selection, in its order.
    EXPECT_EQ(FilesFromArguments({"/b", "/a", "/b"}), (Files{"/b", "/a", "/b"}));
    EXPECT_EQ(FilesFromArguments({}), Files{});
    EXPECT_EQ(FilesFromArguments({""}), Files{});
    EXPECT_EQ(FilesFromArguments({"report.doc"}), Files{});
    EXPECT_EQ(FilesFromArguments({"./report.doc"}), Files{});
    EXPECT_EQ(FilesFromArguments({"/a", "b"}), Files{});
    EXPECT_EQ(FilesFromArguments({"/a", ""}), Files{});
}

} // namespace

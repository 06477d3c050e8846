#include "key_recovery.h"
#include "keystream_expect.h"
#include "samples.h"
#include "temp_dir.h"

#include <cstdio>
#include <gtest/gtest.h>

using zr::WrongKeySuspicion;
using zr::test::Samples;
using zr::test::Transformed;

namespace {

std::optional<std::string> judge(const std::string& name, const std::vector<std::uint8_t>& b) {
    return WrongKeySuspicion(name, std::span(b).first(std::min(b.size(), zr::kHeadBytes)),
                             b.size());
}

} // namespace

TEST(WrongKey, RightKeyIsNeverFlagged) {
    for (const auto& sample : Samples())
        EXPECT_EQ(judge(sample.name, sample.bytes), std::nullopt) << sample.name;
}

TEST(WrongKey, WrongKeyIsFlaggedForEveryType) {
    for (const auto& sample : Samples()) {
        // Encrypted with one key, decrypted with another.
        const auto wrong = Transformed(Transformed(sample.bytes, "right key"), "wrong key");
        EXPECT_EQ(judge(sample.name, wrong), zr::WrongKeyText(zr::ExtensionOf(sample.name)))
            << sample.name;
    }
    EXPECT_EQ(judge("REPORT.DOC", Transformed(Samples().front().bytes, "k")),
              "解密结果看起来不像 .DOC 文件，密钥可能不对");
}

TEST(WrongKey, NoJudgementWithoutAKnownTypeOrAnyContent) {
    const auto noise = Transformed(std::vector<std::uint8_t>(500, 0), "k");
    EXPECT_EQ(judge("data.xyz", noise), std::nullopt);
    EXPECT_EQ(judge("README", noise), std::nullopt);
    EXPECT_EQ(judge("report.doc.ZR", noise), std::nullopt);
    EXPECT_EQ(judge("report.doc", {}), std::nullopt);
}

TEST(WrongKey, AFileOfAnotherKnownTypeIsNoWrongKey) {
    EXPECT_EQ(judge("photo.jpg", zr::test::SampleNamed("sample.png").bytes), std::nullopt);
    // A log with colour escapes, a long UTF-8 text cut in the middle of a character.
    std::string log;
    for (int i = 0; i < 40; ++i)
        log += "\x1b[32mINFO\x1b[0m step " + std::to_string(i) + " of the nightly build done\n";
    EXPECT_EQ(judge("build.log", std::vector<std::uint8_t>(log.begin(), log.end())), std::nullopt);
    std::string text;
    while (text.size() < 9000)
        text += "会议纪要：本周例会讨论了明年的预算安排。";
    EXPECT_EQ(judge("minutes.txt", std::vector<std::uint8_t>(text.begin(), text.end())),
              std::nullopt);
}

TEST(WrongKey, JudgesAResultByItsPath) {
    zr::test::TempDir dir;
    const auto& sample = Samples().front();
    const auto name = "x." + zr::ExtensionOf(sample.name);
    zr::test::WriteBytes(dir / name, Transformed(sample.bytes, "k"));
    EXPECT_EQ(WrongKeySuspicion(dir / name), zr::WrongKeyText(zr::ExtensionOf(name)));
    zr::test::WriteBytes(dir / name, sample.bytes);
    EXPECT_EQ(WrongKeySuspicion(dir / name), std::nullopt);
    EXPECT_EQ(WrongKeySuspicion(dir / "missing.png"), std::nullopt);
}

TEST(WrongKey, VariantsRealFilesHaveAreNotFlagged) {
    auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    std::string cyrillic; // Windows-1251: nearly every byte above 127
    while (cyrillic.size() < 600)
        cyrillic += "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0! \xca\xe0\xea \xe4\xe5\xeb\xe0?\r\n";
    std::string v7tar(1024, '\0'); // a tar header without "ustar", with its checksum
    v7tar.replace(0, 5, "a.txt");
    v7tar.replace(100, 7, "0000644");
    unsigned sum = 8 * ' ';
    for (int i = 0; i < 512; ++i)
        sum += static_cast<unsigned char>(v7tar[i]);
    char field[8];
    std::snprintf(field, sizeof field, "%06o", sum);
    v7tar.replace(148, 7, std::string(field, 6) + '\0');
    const std::pair<const char*, std::string> variants[] = {
        {"a.pdf", "\n%!junk line from a printer driver\n%PDF-1.7\n1 0 obj\n"},
        {"a.jpg", std::string("\xFF\xD8\xFF\xDB\x00\x04\x00\x00\xFF\xC0\x00\x11", 12)},
        {"a.tar", v7tar},
        {"a.tar", std::string(10240, '\0')},
        {"a.txt", "\xEF\xBB\xBF"
                  "UTF-8 with a byte-order mark\n"},
        {"a.txt", "Caf\xe9 cr\xe8me, na\xefve fa\xe7"
                  "ade: Windows-1252 text.\n"},
        {"a.txt", cyrillic},
        {"a.pdf", "%PD"}, // a file cut short is judged on the bytes it has
    };
    for (const auto& [name, content] : variants)
        EXPECT_EQ(judge(name, bytes(content)), std::nullopt)
            << name << " " << content.substr(0, 20);
    EXPECT_NE(judge("a.pdf", bytes("%PX")), std::nullopt);
}

// The multi-file window's rules for a confirmed open-file dialog: the selection split into
// files, and each file's target.

#include "fuzz_check.h"
#include "job_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = zr::fuzz::Split(data, size);
    // The first part is the dialog's file title, the second a target folder (or none when
    // empty), the rest the selected paths.
    QStringList paths;
    for (std::size_t i = 2; i < parts.size(); ++i)
        paths << QString::fromStdString(parts[i]);
    const QString title = QString::fromStdString(parts[0]);
    std::optional<QString> folder;
    if (parts.size() > 1 && !parts[1].empty())
        folder = QString::fromStdString(parts[1]);

    const QList<zr::ui::SelectedFile> files = zr::ui::SplitSelection(paths, title);
    // One file as chosen; of several, the non-empty names in the dialog's order.
    QStringList expected = paths;
    if (paths.size() != 1)
        expected.removeAll(QString());
    ZR_FUZZ_CHECK(files.size() == expected.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        ZR_FUZZ_CHECK(files[i].source == expected[i]);
        const QString target = zr::ui::TargetFor(files[i], folder);
        if (folder) {
            ZR_FUZZ_CHECK(target.startsWith(*folder));
        } else {
            // The ".ZR" rule either adds the suffix or takes it away; an empty name has no
            // target name (the plan check refuses it).
            const QString& s = files[i].source;
            ZR_FUZZ_CHECK(target == s + QStringLiteral(".ZR") ||
                          (s.endsWith(QStringLiteral(".zr"), Qt::CaseInsensitive) &&
                           target == s.chopped(3)) ||
                          (s.isEmpty() && target.isEmpty()));
        }
        const QString bare = zr::ui::BareName(files[i].source);
        ZR_FUZZ_CHECK(!bare.contains(QLatin1Char('/')) && !bare.contains(QLatin1Char('\\')));
        ZR_FUZZ_CHECK(files[i].source.endsWith(bare));
    }
    return 0;
}

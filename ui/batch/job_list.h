#pragma once
// The rules of the job list that need no window: what a selection of the open-file dialog adds,
// where each target goes and what it is called, the duplicate check, the layout of the two
// lists, and the progress a batch shows.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zr::ui {

// One file of a selection: its full path and its bare name (what a target folder receives).
struct SelectedFile {
    QString source;
    QString bareName;
};

// The files of a confirmed open-file dialog, in the dialog's order. paths are full paths; for a
// single selection fileTitle (when given) is its bare name. Each entry is a whole path, so a
// name with blanks stays one file.
QList<SelectedFile> SplitSelection(const QStringList& paths, const QString& fileTitle = {});

// The bare name of a full path: what follows its last separator ("/" or "\").
QString BareName(const QString& path);

// The target of one file: folder + the native separator + bare name when a folder was chosen
// (a folder that already ends in a separator, such as a drive's root, gets a second one and is
// kept so), or the source itself; then the ".ZR" rule: a name ending in ".ZR" in any letter
// case loses it, any other name gets ".ZR". A bare name the rule leaves empty (".zr") gives the
// folder itself, which the plan check refuses as naming no file (jobs::NamesAFile).
QString TargetFor(const SelectedFile& file, const std::optional<QString>& folder);

// Whether source is already listed: exact, case-sensitive comparison of the whole path.
bool IsListed(const QStringList& sources, const QString& source);

// The message shown for a file that is listed already.
QString DuplicateText(const QString& source);

// Positions in twips that the window recomputes at load and on every tick, from its outer
// size W x H, the design top of List1 and the current width of Label3. Single precision, in
// the order the rules depend on each other.
struct ListLayout {
    float list1Left = 0, listWidth = 0, listHeight = 0;
    float list2Left = 0;
    float label1Left = 0, label2Left = 0, label3Left = 0;
    float barLeft = 0, barWidth = 0;
};
ListLayout ComputeListLayout(float outerWidth, float outerHeight, float list1Top,
                             float label3Width);

// The percentage a batch shows after a block: with one entry listed, the job's own share
// floor(done / length x 100); with several, the share of the list before the job at work,
// floor(index / count x 100), so four jobs show 0, 25, 50 and 75.
int BatchPercent(int listCount, int jobIndex, qint64 done, qint64 length);

} // namespace zr::ui

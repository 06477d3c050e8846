#pragma once
// The folder list: the ancestors of the current folder from the root down, each indented one
// step further and shown open, the current folder highlighted, and below it its subfolders,
// indented once more and shown closed. Opening an entry (double-click, or Enter on the
// highlighted one) makes it the current folder: a subfolder goes down, an ancestor goes back
// up. Backspace goes up one level. Moving the highlight alone changes nothing.

#include <QListWidget>
#include <QString>

namespace zr::platform {

class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    // The current folder, in native form ("/home/user/docs", "C:\abc", a root "/" or "C:\").
    QString Path() const { return path_; }
    // Makes path the current folder and lists it; emits changed() when the path differs from
    // the current one. False, with nothing changed, when path is not an existing folder.
    bool SetPath(const QString& path);
    // Lists the current folder again (its subfolders may have changed).
    void Refresh();
    // The full path an entry stands for.
    static QString EntryPath(const QListWidgetItem* item);

signals:
    void changed(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenItem(QListWidgetItem* item);
    void Fill();

    QString path_;
};

} // namespace zr::platform

// The real seam: what the toolkit's dialogs show and accept.

#include "qt_platform.h"
#include "temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using zr::platform::OpenFileRequest;
using zr::platform::QtPlatform;

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// Runs check on the modal dialog once it is shown; check must close it.
template <class Dialog> void WhenShown(std::function<void(Dialog&)> check) {
    QTimer::singleShot(0, [check] {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        check(*d);
    });
}

TEST(QtDialogs, OneNameMayBeNewSeveralMustExistAndTypesShowTheirDescriptions) {
    zr::test::TempDir dir;
    QtPlatform qt;
    OpenFileRequest one;
    one.title = QStringLiteral("打开目标文件名:");
    one.filter = QStringLiteral("所有文件(*.*)|*.*|*.ZR文件|*.ZR");
    QStringList types;
    WhenShown<QFileDialog>([&](QFileDialog& d) {
        const auto* combo = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; combo && i < combo->count(); ++i)
            types << combo->itemText(i);
        // One that insists on existing files would answer the new name with a box of its own.
        if (d.fileMode() == QFileDialog::ExistingFile)
            return d.reject();
        d.setDirectory(Q(dir.path()));
        d.selectFile(QStringLiteral("new.bin")); // a name that does not exist yet
        static_cast<QDialog&>(d).accept();       // the dialog's own checks run
    });
    const auto chosen = qt.OpenFile(nullptr, one);
    EXPECT_TRUE(chosen.confirmed);
    EXPECT_EQ(chosen.paths, QStringList{Q(dir / "new.bin")});
    EXPECT_EQ(types, QStringList({QStringLiteral("所有文件(*.*)"), QStringLiteral("*.ZR文件")}));

    OpenFileRequest several;
    several.filter = QStringLiteral("所有文件(*.*)|*.*");
    several.multiSelect = true;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    WhenShown<QFileDialog>([&](QFileDialog& d) {
        mode = d.fileMode();
        d.reject();
    });
    EXPECT_FALSE(qt.OpenFile(nullptr, several).confirmed);
    EXPECT_EQ(mode, QFileDialog::ExistingFiles);
}

TEST(QtDialogs, AMessageWithALongFileNameWrapsInsideTheBox) {
    QtPlatform qt;
    const QString text = QStringLiteral("无法写入目标文件：/tmp/") +
                         QString(220, QLatin1Char('a')) +
                         QStringLiteral("/report.doc.ZR（这是一个文件夹，不是文件）");
    WhenShown<QMessageBox>([](QMessageBox& box) {
        const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        // The widest piece the text cannot be broken in fits the label.
        EXPECT_LE(label->minimumSizeHint().width(), label->width());
        EXPECT_LE(box.frameGeometry().right(), box.screen()->availableGeometry().right());
        box.accept();
    });
    qt.Message(nullptr, text, QStringLiteral("注意："), zr::platform::MessageButtons::Ok,
               zr::platform::MessageIcon::Warning);
}

TEST(QtDialogs, TheSecondButtonAnswersOtherAndEscAnswersOk) {
    QtPlatform qt;
    const auto show = [&] {
        return qt.MessageWithButton(nullptr, QStringLiteral("解密结果看起来不像 .doc 文件"),
                                    QStringLiteral("注意："), zr::platform::MessageIcon::Warning,
                                    QStringLiteral("找回密钥"));
    };
    WhenShown<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.defaultButton()->text(), QStringLiteral("确定"));
        box.buttons().last()->click();
    });
    EXPECT_EQ(show(), zr::platform::MessageAnswer::Other);
    WhenShown<QMessageBox>([](QMessageBox& box) { box.escapeButton()->click(); });
    EXPECT_EQ(show(), zr::platform::MessageAnswer::Ok);
}

TEST(QtDialogs, AShortMessageLeavesRoomForItsTitleBesideTheTitleBarButtons) {
    QtPlatform qt;
    QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    titleFont.setBold(true);
    const QString title = QStringLiteral("注意：");
    // The window icon and three buttons with their spacing, beside the title; a box sized to
    // its text alone left a window manager no room for "注意：".
    const QFontMetrics fm(titleFont);
    const int needed = fm.horizontalAdvance(title) + 6 * fm.height();
    int width = 0, height = 0;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        width = box.width();
        height = box.height();
        box.accept();
    });
    qt.Message(nullptr, QStringLiteral("加密/解密完毕！"), title, zr::platform::MessageButtons::Ok,
               zr::platform::MessageIcon::None);
    EXPECT_GE(width, needed);
    EXPECT_LT(height, width) << "wider, not taller";
}

TEST(QtDialogs, TheFontDialogOffersNoEffectsTheListsIgnore) {
    QFontDialog dialog;
    zr::platform::HideFontEffects(dialog);
    dialog.show();
    const QGroupBox* effects = nullptr;
    const QGroupBox* sample = nullptr;
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
        (group->findChildren<QCheckBox*>().isEmpty() ? sample : effects) = group;
    ASSERT_TRUE(effects && sample);
    EXPECT_FALSE(effects->isVisible());
    EXPECT_TRUE(sample->isVisible());
    // The sample keeps the height it had beside the effects, enough to show its text.
    EXPECT_GE(sample->height(), effects->sizeHint().height());
}

} // namespace

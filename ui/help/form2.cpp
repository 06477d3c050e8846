#include "form2.h"

#include "app_record.h"
#include "ui_form2.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

namespace zr::ui {

using app::Windows;

namespace {
constexpr double kTextPoints = 10.5; // Designer files hold whole point sizes only
// The page was laid out for "宋体" at 10.5 pt: 14-pixel lines at 96 dpi, glyphs as wide as
// they are high. The fallback typefaces of a Linux desktop have taller lines and fewer glyphs
// to a line, so the wrapped texts would run into each other. Each text is therefore set with
// the design's fixed line height, and a fallback typeface one pixel smaller.
constexpr int kLinePixels = 14;
constexpr int kFallbackPixels = 13;

bool isSongTypeface(const QFont& f) {
    const QString family = QFontInfo(f).family();
    return family == QStringLiteral("宋体") ||
           family.compare(QStringLiteral("SimSun"), Qt::CaseInsensitive) == 0;
}

void setWrappedText(QLabel* l) {
    QFont f = l->font();
    f.setPointSizeF(kTextPoints);
    if (!isSongTypeface(f))
        f.setPixelSize(kFallbackPixels);
    l->setFont(f);
    l->setTextFormat(Qt::RichText);
    l->setText(QStringLiteral("<div style=\"line-height:%1px; white-space:pre-wrap\">%2</div>")
                   .arg(kLinePixels)
                   .arg(l->text().toHtmlEscaped()));
}
} // namespace

Form2::Form2() : ui_(std::make_unique<Ui::Form2>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    for (QLabel* l : findChildren<QLabel*>()) {
        if (l == ui_->Label9)
            continue;
        setWrappedText(l);
    }
    SetLinkColour(LinkColour());

    // Hover colouring follows mouse movement, not enter and leave: the label turns white when
    // the pointer moves over it and back to the button-text colour only when the pointer moves
    // over the bare window, so moving straight onto another label leaves it white.
    setMouseTracking(true);
    ui_->Label9->setMouseTracking(true);
    ui_->Label9->installEventFilter(this);

    if (QScreen* s = QGuiApplication::primaryScreen())
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->availableGeometry())
                 .topLeft());
}

Form2::~Form2() = default;

QColor Form2::LinkColour() {
    return QColor(128, 0, 0);
}

void Form2::SetLinkColour(const QColor& colour) {
    QPalette p = ui_->Label9->palette();
    p.setColor(QPalette::WindowText, colour);
    ui_->Label9->setPalette(p);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Label9) {
        if (event->type() == QEvent::MouseMove) {
            Label9_mouseMove();
            return true; // not on to the window, which would undo the colour
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton &&
                ui_->Label9->rect().contains(me->position().toPoint())) {
                Label9_clicked();
                return true;
            }
        }
    }
    return ZrWindow::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Label9_clicked();
        return;
    }
    ZrWindow::keyPressEvent(event);
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    // Only movement over the bare window arrives here: labels without tracking swallow theirs.
    Form_mouseMove();
    ZrWindow::mouseMoveEvent(event);
}

void Form2::Label9_mouseMove() {
    SetLinkColour(Qt::white);
}

void Form2::Form_mouseMove() {
    SetLinkColour(palette().color(QPalette::ButtonText));
}

void Form2::Label9_clicked() {
    // The closing returns once more; showing a window that is already visible changes nothing.
    ReturnToCaller();
    close();
}

bool Form2::OnClose() {
    ReturnToCaller();
    return true;
}

void Form2::ReturnToCaller() {
    if (app::Record().HelpCaller == 1) {
        app::Window<app::SingleFileWindow>().ShowForFile();
    } else {
        Windows().Get(QStringLiteral("Form3")).show();
    }
}

} // namespace zr::ui

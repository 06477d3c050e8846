#include "form2.h"

#include "app_record.h"
#include "ui_form2.h"
#include "window_registry.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

namespace zr::ui {

using app::Control;
using app::Windows;

namespace {
constexpr double kTextPoints = 10.5; // Designer files hold whole point sizes only
} // namespace

Form2::Form2() : ui_(std::make_unique<Ui::Form2>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    for (QLabel* l : findChildren<QLabel*>()) {
        if (l == ui_->Label9)
            continue;
        QFont f = l->font();
        f.setPointSizeF(kTextPoints);
        l->setFont(f);
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
        app::ZrWindow& f1 = Windows().Get(QStringLiteral("Form1"));
        f1.show();
        Control<QPushButton>(f1, "C_Ok")->setVisible(true);
    } else {
        Windows().Get(QStringLiteral("Form3")).show();
    }
}

} // namespace zr::ui

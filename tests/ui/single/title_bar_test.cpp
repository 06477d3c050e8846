// The captions of the two title marquees as the X server holds them (_NET_WM_NAME, what a
// window manager puts into the title bar). Runs on the xcb platform under Xvfb.

#include "app_record.h"
#include "form1.h"
#include "form3.h"
#include "scripted_platform.h"
#include "window_registry.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using zr::app::Windows;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return atom;
}

QString TitleOnTheServer(QWidget& window) {
    xcb_connection_t* c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, static_cast<xcb_window_t>(window.winId()), Atom(c, "_NET_WM_NAME"),
                         XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    QString title = QStringLiteral("<no property>");
    if (r && r->type != XCB_ATOM_NONE)
        title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)),
                                  xcb_get_property_value_length(r));
    std::free(r);
    return title;
}

class TitleBar : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        zr::app::RegisterWindow<zr::ui::Form1>();
        zr::app::RegisterWindow<zr::ui::Form3>();
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }
    zr::platform::ScriptedPlatform platform;
};

TEST_F(TitleBar, EveryMarqueeCaptionIsTheServersIncludingTheEmptyOnes) {
    auto& form1 = Windows().Get<zr::ui::Form1>();
    auto& form3 = Windows().Get<zr::ui::Form3>();
    form1.show();
    form3.show();
    // Empty until the first tick.
    EXPECT_EQ(TitleOnTheServer(form1), QString());
    EXPECT_EQ(TitleOnTheServer(form3), QString());
    // One whole cycle of each: the scrolling title, its end and the blinks are empty.
    int empty = 0;
    for (int tick = 0; tick < 72; ++tick) {
        form1.Timer1_timeout();
        form3.Timer2_timeout();
        EXPECT_EQ(TitleOnTheServer(form1), form1.windowTitle()) << tick;
        EXPECT_EQ(TitleOnTheServer(form3), form3.windowTitle()) << tick;
        empty += form1.windowTitle().isEmpty();
    }
    EXPECT_EQ(empty, 6);
}

} // namespace

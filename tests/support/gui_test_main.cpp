// main() for the window tests: a QApplication on the offscreen platform (unless the caller
// chose another, e.g. xcb under Xvfb), then GoogleTest.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("zr"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Test entry point: one application object, offscreen. The window tests need a widget
// application; the model tests link no widgets, and pictures need only a GUI application.
#ifdef ORNWICK_WIDGET_TESTS
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#endif
#include <gtest/gtest.h>

#include <optional>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A test of what runs without an application object runs itself again in a process so.
    std::optional<TTestApplication> app;
    if (!qEnvironmentVariableIsSet("ORNWICK_TEST_NO_APPLICATION"))
        app.emplace(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

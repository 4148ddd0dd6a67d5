#include "app/Startup.h"

#include "app/UTarvelMain.h"
#include "app/library/LibraryMenu.h"
#include "base/ErrorReporting.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QStringDecoder>

#include <filesystem>
#include <string>
#include <vector>
#include <system_error>

QString ErrorMessageText(const std::string& message)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(message.data(), static_cast<qsizetype>(message.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(message.data(), static_cast<qsizetype>(message.size()));
}

void InstallMessageBoxErrorSink()
{
    SetErrorSink([](const std::string& message) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ornwick"), ErrorMessageText(message), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName(QStringLiteral("ErrorBox"));
        box.exec();
    });
}

int RunTarvel(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallMessageBoxErrorSink();
    TTarvelMain window(ExecutablePath());
    window.SetWritesSettings(true);
    window.SetBackgroundLoadEnabled(true);
    window.MapImports().SetGameSearchEnabled(true);
    RunHandler([&] { window.LibraryMenu().StartWatching(); });
    window.show();
    // The window is on the screen before a log named on the command line loads.
    QCoreApplication::processEvents();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc && i <= 2; ++i)
        arguments.emplace_back(argv[i]);
    RunHandler([&] { window.FormShow(arguments); });
    const int status = app.exec();
    window.FormDestroy();
    return status;
}

// The recent logs of the File menu ("LastOpen1" to "LastOpen8" of the settings, newest first),
// and logs dropped on the window.
#include "app/RecentLogs.h"

#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "app/mapview/ExportMenu.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Files.h"

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int RecentCount = 8;

std::string RecentKey(int number) { return "LastOpen" + std::to_string(number); }

// The local file a drag carries first, as the system names it; empty for anything else.
std::string DraggedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().front().isLocalFile())
        return "";
    return QFile::encodeName(data->urls().front().toLocalFile()).toStdString();
}

bool IsLogName(const std::string& fileName)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(fileName));
    return extension == ".XML" || extension == ".ZXML";
}

// Drops anywhere on the window, its memos included, reach the window.
class TLogDrop : public QObject {
public:
    TLogDrop(TTarvelMain& window, TRecentLogs& logs) : QObject(&logs), FWindow(window), FLogs(logs) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != &FWindow)
            return false;
        auto* drop = static_cast<QDropEvent*>(event);
        // Text dragged into a memo stays the memo's; files are the window's.
        if (!drop->mimeData() || !drop->mimeData()->hasUrls())
            return false;
        const std::string fileName = DraggedFile(drop->mimeData());
        if (!IsLogName(fileName)) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (type == QEvent::Drop)
            RunHandler([this, &fileName] { FLogs.DropLog(fileName); });
        return true;
    }

private:
    TTarvelMain& FWindow;
    TRecentLogs& FLogs;
};

} // namespace

TRecentLogs::TRecentLogs(TTarvelMain& window, TSettingsFile& settings)
    : QObject(&window), FWindow(window), FSettings(settings)
{
    FWindow.setAcceptDrops(true);
    qApp->installEventFilter(new TLogDrop(FWindow, *this));
}

std::vector<std::string> TRecentLogs::RecentLogs() const
{
    std::vector<std::string> logs;
    for (int number = 1; number <= RecentCount; ++number)
        if (const std::string log = FSettings.Values(RecentKey(number)); !log.empty())
            logs.push_back(log);
    return logs;
}

void TRecentLogs::AddRecentFileItems()
{
    for (QAction* item : FRecentItems)
        delete item;
    FRecentItems.clear();
    for (const std::string& log : RecentLogs()) {
        AddRecentFileItem(log);
        FRecentItems.push_back(FWindow.File1->actions().back());
    }
    FWindow.ExportMenu().KeepExportItemsLast();
}

void TRecentLogs::AddRecentFileItem(const std::string& fileName)
{
    const QByteArray bytes = QByteArray::fromStdString(fileName);
    // The item shows the name as it is: an "&" in it is no mnemonic.
    QString caption = QFile::decodeName(bytes);
    caption.replace(u'&', QStringLiteral("&&"));
    QAction* item = FWindow.File1->addAction(caption);
    item->setData(bytes); // the exact bytes, whatever the system encoding makes of them
    connect(item, &QAction::triggered, this, [this, item] { RunHandler([this, item] { FWindow.GoToFileClick(item); }); });
}

void TRecentLogs::RememberRecentLog(const std::string& fileName)
{
    // A name with a line break would not read back as one line of the settings.
    if (!TTextList::Storable(RecentKey(1), fileName))
        return;
    std::vector<std::string> logs = RecentLogs();
    logs.erase(std::remove(logs.begin(), logs.end(), fileName), logs.end());
    logs.insert(logs.begin(), fileName);
    logs.resize(std::min<size_t>(logs.size(), RecentCount));
    // Keys stay on their lines; a list that grows appends the new ones.
    for (int number = 1; number <= RecentCount; ++number) {
        const size_t at = static_cast<size_t>(number - 1);
        if (at < logs.size())
            FSettings.SetValue(RecentKey(number), logs[at]);
        else if (!FSettings.Values(RecentKey(number)).empty())
            FSettings.SetValue(RecentKey(number), ""); // moved up: a gap closed below it
    }
    AddRecentFileItems();
}

bool TRecentLogs::DropLog(const std::string& fileName)
{
    if (!IsLogName(fileName))
        return false;
    FWindow.OpenLog(fileName);
    RememberRecentLog(fileName);
    return true;
}

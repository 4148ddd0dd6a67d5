// The "Library" menu, the library's settings, the background scans and the watch on its folders.
#include "app/library/LibraryMenu.h"

#include "app/UTarvelMain.h"
#include "app/library/LibraryForm.h"
#include "app/library/LibraryScan.h"
#include "base/ErrorReporting.h"
#include "base/Errors.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryLocation.h"
#include "library/LibraryWatcher.h"
#include "settings/ProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace {

const char DatabaseKey[] = "LibraryDatabase";
std::string FolderKey(int number) { return "LibraryFolder" + std::to_string(number); }

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A folder as the library keeps it: absolute, without a closing separator, so that the same
// folder is never added twice.
std::string FolderName(const std::string& folder)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(folder, error);
    if (error)
        path = folder;
    path = path.lexically_normal();
    std::string name = path.string();
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    return name;
}

// Folders dropped anywhere on the window or the Library window join the library; a dropped log
// is left to the window, which opens it.
class TFolderDrop : public QObject {
public:
    TFolderDrop(TTarvelMain& window, TLibraryMenu& menu) : QObject(&menu), FWindow(window), FMenu(menu) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || (widget->window() != &FWindow && widget->window() != FMenu.Form()))
            return false;
        auto* drop = static_cast<QDropEvent*>(event);
        const std::vector<std::string> folders = Folders(drop->mimeData());
        if (folders.empty())
            return false;
        drop->acceptProposedAction();
        if (type == QEvent::Drop)
            for (const std::string& folder : folders)
                if (!RunHandler([this, &folder] { FMenu.AddFolder(folder); }))
                    break; // the library cannot be had: once is enough to say so
        return true;
    }

private:
    // The local folders a drag carries when its first item is one; nothing otherwise.
    static std::vector<std::string> Folders(const QMimeData* data)
    {
        std::vector<std::string> folders;
        if (!data || !data->hasUrls())
            return folders;
        for (const QUrl& url : data->urls()) {
            if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isDir())
                break;
            folders.push_back(PathBytes(url.toLocalFile()));
        }
        return folders;
    }

    TTarvelMain& FWindow;
    TLibraryMenu& FMenu;
};

} // namespace

TLibraryMenu::TLibraryMenu(TTarvelMain& window, TSettingsFile& settings)
    : QObject(&window), FWindow(window), FSettings(settings), FScan(new TLibraryScan(this))
{
    Library1 = FWindow.MainMenu1->addMenu(QStringLiteral("Library"));
    Library1->setObjectName(QStringLiteral("Library1"));
    auto item = [this](const QString& caption, const char* name, void (TLibraryMenu::*click)()) {
        QAction* action = Library1->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, click] { RunHandler([this, click] { (this->*click)(); }); });
        return action;
    };
    AddFolder1 = item(QString::fromUtf8("Add folder\u2026"), "AddFolder1", &TLibraryMenu::AddFolder1Click);
    OpenLibrary1 = item(QString::fromUtf8("Library\u2026"), "OpenLibrary1", &TLibraryMenu::OpenLibrary1Click);
    ScanAgain1 = item(QStringLiteral("Scan again"), "ScanAgain1", &TLibraryMenu::ScanAgain1Click);
    Library1->addSeparator();
    LibrarySettings1 = item(QString::fromUtf8("Library settings\u2026"), "LibrarySettings1",
                            &TLibraryMenu::LibrarySettings1Click);
    connect(FScan, &TLibraryScan::Finished, this, [this] { ScanEnded(); });
    // Installed after the window's own drop of logs, so it sees a drop first.
    qApp->installEventFilter(new TFolderDrop(FWindow, *this));
}

TLibraryMenu::~TLibraryMenu()
{
    // The scan ends (keeping what it finished) before the library it reports to goes.
    delete FScan;
    FScan = nullptr;
}

std::vector<std::string> TLibraryMenu::Folders() const
{
    std::vector<std::string> folders;
    for (int number = 1; FSettings.IndexOfName(FolderKey(number)) >= 0; ++number)
        if (std::string folder = FSettings.Values(FolderKey(number)); !folder.empty())
            folders.push_back(std::move(folder));
    return folders;
}

void TLibraryMenu::SetFolders(const std::vector<std::string>& folders)
{
    // Keys stay on their lines; a shorter list empties the ones after it.
    int number = 1;
    for (const std::string& folder : folders)
        FSettings.SetValue(FolderKey(number++), folder);
    for (; FSettings.IndexOfName(FolderKey(number)) >= 0; ++number)
        if (!FSettings.Values(FolderKey(number)).empty())
            FSettings.SetValue(FolderKey(number), "");
    WatchFolders();
}

std::string TLibraryMenu::Location() const
{
    const std::string location = FSettings.Values(DatabaseKey);
    return location.empty() ? DefaultLibraryLocation() : location;
}

void TLibraryMenu::SetLocation(const std::string& location)
{
    const std::string wanted = location.empty() ? DefaultLibraryLocation() : location;
    if (wanted != FLibraryLocation || !FLibrary) {
        // Opened before anything changes: a database that is no library raises here.
        auto library = std::make_unique<TLibraryDatabase>(wanted);
        FLibrary = std::move(library);
        FLibraryLocation = wanted;
    }
    if (location != FSettings.Values(DatabaseKey))
        FSettings.SetValue(DatabaseKey, location);
    if (FForm)
        FForm->Refresh();
}

TLibraryDatabase& TLibraryMenu::Library()
{
    const std::string location = Location();
    if (!FLibrary || FLibraryLocation != location) {
        FLibrary.reset();
        FLibrary = std::make_unique<TLibraryDatabase>(location);
        FLibraryLocation = location;
    }
    return *FLibrary;
}

TLibraryForm& TLibraryMenu::ShowForm()
{
    if (!FForm) {
        Library(); // a library that cannot be opened is told before the window shows
        FForm = new TLibraryForm(FWindow, *this);
        // Over the main window, where the user looks, the first time.
        FForm->move(FWindow.geometry().center() - QPoint(FForm->width() / 2, FForm->height() / 2));
        FForm->Refresh();
    }
    FForm->show();
    FForm->raise();
    FForm->activateWindow();
    return *FForm;
}

void TLibraryMenu::OpenLibrary1Click() { ShowForm(); }

void TLibraryMenu::AddFolder1Click()
{
    const std::vector<std::string> folders = Folders();
    const QString chosen = QFileDialog::getExistingDirectory(&FWindow, QStringLiteral("Add folder to the library"),
                                                             folders.empty() ? QString() : PathText(folders.back()));
    if (chosen.isEmpty())
        return;
    AddFolder(PathBytes(chosen));
}

void TLibraryMenu::AddFolder(const std::string& folder)
{
    const std::string name = FolderName(folder);
    if (!QFileInfo(PathText(name)).isDir())
        throw EFOpenError(name);
    if (!TTextList::Storable(FolderKey(1), name))
        throw EBaseError("The folder's name cannot be kept in the settings: " + name);
    Library(); // refused here, nothing remembered, when it is no library
    std::vector<std::string> folders = Folders();
    if (std::find(folders.begin(), folders.end(), name) == folders.end()) {
        folders.push_back(name);
        SetFolders(folders);
    }
    ShowForm();
    ScanFolders({name});
}

void TLibraryMenu::ScanAgain1Click()
{
    Library();
    const std::vector<std::string> folders = Folders();
    TLibraryForm& form = ShowForm();
    if (folders.empty()) {
        form.ShowScanStatus(QString::fromUtf8("The library has no folders yet: Library > Add folder\u2026 adds one."));
        return;
    }
    ScanFolders(folders);
}

void TLibraryMenu::ScanFolders(const std::vector<std::string>& folders)
{
    FScan->Start(Location(), folders);
    if (FForm)
        FForm->ScanStarted();
}

void TLibraryMenu::ScanEnded()
{
    if (FForm)
        FForm->ScanEnded();
    if (!FScan->LastError().empty())
        ReportError(FScan->LastError());
}

void TLibraryMenu::StartWatching()
{
    if (!FWatcher) {
        FWatcher = new TLibraryWatcher(this);
        // A change while a scan runs queues one more, which sees the rest.
        connect(FWatcher, &TLibraryWatcher::Changed, this, [this] {
            RunHandler([this] {
                if (const std::vector<std::string> folders = Folders(); !folders.empty())
                    ScanFolders(folders);
            });
        });
    }
    WatchFolders();
    // What the servers wrote while the program was not running.
    if (const std::vector<std::string> folders = Folders(); !folders.empty())
        ScanFolders(folders);
}

void TLibraryMenu::WatchFolders()
{
    if (FWatcher)
        FWatcher->Watch(Folders());
}

void TLibraryMenu::LibrarySettings1Click()
{
    QDialog dialog(&FWindow);
    dialog.setObjectName(QStringLiteral("LibrarySettingsForm"));
    dialog.setWindowTitle(QStringLiteral("Library settings"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    auto* database = new QLineEdit(PathText(FSettings.Values(DatabaseKey)), &dialog);
    database->setObjectName(QStringLiteral("LibraryDatabaseEdit"));
    database->setPlaceholderText(PathText(DefaultLibraryLocation()));
    database->setMinimumWidth(420);
    database->setToolTip(QStringLiteral("A library file, or a shared library on a server: postgresql://user@host/name"));
    auto* browse = new QPushButton(QString::fromUtf8("Browse\u2026"), &dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(database);
    row->addWidget(browse);
    form->addRow(QStringLiteral("Database:"), row);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Folders scanned for logs:"), &dialog));
    auto* folders = new QListWidget(&dialog);
    folders->setObjectName(QStringLiteral("LibraryFoldersList"));
    for (const std::string& folder : Folders())
        folders->addItem(PathText(folder));
    layout->addWidget(folders);
    auto* remove = new QPushButton(QStringLiteral("Remove folder"), &dialog);
    remove->setObjectName(QStringLiteral("RemoveFolderButton"));
    layout->addWidget(remove, 0, Qt::AlignLeft);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(remove, &QPushButton::clicked, &dialog, [folders] { delete folders->currentItem(); });
    connect(browse, &QPushButton::clicked, &dialog, [&dialog, database] {
        const QString chosen = QFileDialog::getSaveFileName(&dialog, QStringLiteral("Library database"), database->text(),
                                                            QStringLiteral("Library (*.sqlite);;All files (*)"), nullptr,
                                                            QFileDialog::DontConfirmOverwrite);
        if (!chosen.isEmpty())
            database->setText(chosen);
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<std::string> kept;
    for (int i = 0; i < folders->count(); ++i)
        kept.push_back(PathBytes(folders->item(i)->text()));
    if (kept != Folders())
        SetFolders(kept);
    SetLocation(PathBytes(database->text().trimmed()));
}

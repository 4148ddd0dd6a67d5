// "Map > Import map…" and "Map > Game folder…": a map's picture, object file and calibration
// made from the player's own game, and the import that selecting a round on a map without a
// picture starts when the game folder is known.
#include "app/mapview/MapImports.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Errors.h"
#include "level/GameFolder.h"
#include "level/LevelObjects.h"
#include "level/MapImport.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>

#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// Runs the import on a thread of its own behind a progress dialog, so that the window stays
// alive; a cancel leaves the thread to finish on its own and throws its work away. Nothing
// when cancelled. A cancelled thread is handed to the caller, who joins it before the program
// can end under it.
std::optional<TMapImport> ImportWithProgress(QWidget* parent, const std::string& map, std::function<TMapImport()> work,
                                             std::vector<std::thread>& cancelled)
{
    struct TShared {
        std::mutex lock;
        bool done = false;
        std::optional<TMapImport> result;
        std::exception_ptr error;
    };
    auto shared = std::make_shared<TShared>();
    std::thread thread([shared, work = std::move(work)] {
        std::optional<TMapImport> result;
        std::exception_ptr error;
        try {
            result = work();
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard<std::mutex> hold(shared->lock);
        shared->result = std::move(result);
        shared->error = error;
        shared->done = true;
    });

    try {
        QProgressDialog progress(parent);
        progress.setObjectName(QStringLiteral("ImportProgress"));
        progress.setWindowTitle(QStringLiteral("Import map"));
        progress.setLabelText(QString::fromUtf8("Importing %1 from the game\u2026").arg(Latin1(map)));
        progress.setRange(0, 0); // its length is not known
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(0);
        progress.show();
        QCoreApplication::processEvents(); // shown before the first look at the work
        for (;;) {
            // A cancel holds even when the work has just ended: the user said to keep nothing.
            if (progress.wasCanceled()) {
                cancelled.push_back(std::move(thread));
                return std::nullopt;
            }
            {
                const std::lock_guard<std::mutex> hold(shared->lock);
                if (shared->done)
                    break;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } catch (...) {
        thread.join(); // a thread still joinable at its end would end the program
        throw;
    }
    thread.join();
    if (shared->error)
        std::rethrow_exception(shared->error);
    return std::move(shared->result);
}

// A path is the file system's bytes, whatever the letters of a map's name are: a folder named
// in UTF-8 is found as the dialog shows it.
QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The game type folders the dialog offers, as the game names them.
const char* const GameTypes[] = {"Conquest", "Ctf", "TDM", "SinglePlayer"};

} // namespace

TMapImports::TMapImports(TTarvelMain& window, TSettingsFile& settings) : FWindow(window), FSettings(settings)
{
    // Last in the Map menu, apart from the calibration tools.
    FWindow.Map1->addSeparator();
    ImportMap1 = FWindow.Map1->addAction(QString::fromUtf8("Import map\u2026"));
    ImportMap1->setObjectName(QStringLiteral("ImportMap1"));
    GameFolder1 = FWindow.Map1->addAction(QString::fromUtf8("Game folder\u2026"));
    GameFolder1->setObjectName(QStringLiteral("GameFolder1"));
    CreateMapNotice();

    connect(ImportMap1, &QAction::triggered, this, [this] { RunHandler([this] { ImportMap1Click(); }); });
    connect(GameFolder1, &QAction::triggered, this, [this] { RunHandler([this] { GameFolder1Click(); }); });
}

TMapImports::~TMapImports() { JoinCancelledImports(); }

void TMapImports::JoinCancelledImports()
{
    // A cancelled import may still be writing its picture in memory; it ends before the program
    // can, or the program's teardown would pull the libraries from under it.
    for (std::thread& import : FCancelledImports)
        import.join();
    FCancelledImports.clear();
}

bool TMapImports::RoundSelected() const
{
    return FWindow.RoundNode() && FWindow.ReplaySession().RoundMarked();
}

std::string TMapImports::GameFolder() const { return SavedGameFolder(FSettings.List()).Folder; }

void TMapImports::SetGameFolder(const std::string& folder)
{
    // A level folder or archive taken for the game would be imported under every map's name.
    CheckGameFolder(folder);
    FSettings.SetValue(GameFolderKey, folder);
    FImportsTried.clear(); // another game may have what this one lacked
    FImportFailures.clear();
}

void TMapImports::GameFolder1Click()
{
    const std::string saved = FSettings.Values(GameFolderKey);
    const QString chosen = QFileDialog::getExistingDirectory(&FWindow, QStringLiteral("Game folder"), PathText(saved));
    if (chosen.isEmpty())
        return;
    SetGameFolder(PathBytes(chosen));
    ImportSelectedMapAgain();
}

void TMapImports::ImportSelectedMapAgain()
{
    if (!RoundSelected() || !FWindow.MapPictureMissing())
        return;
    // The round selected anew imports its map, and goes back to the moment it showed.
    const double time = FWindow.ReplayTime();
    FWindow.ListBox1DblClick();
    FWindow.SeekTo(time);
}

bool TMapImports::ImportMapFrom(const std::string& source, const std::string& map, const std::string& mod,
                                const std::string& gameType, bool overview)
{
    // Where the user's own pictures go: the program's folder when it can be written, else the
    // user's configuration folder.
    const std::string images = FWindow.ProgramFiles().ImageFolders().front();
    const std::optional<TMapImport> import = ImportWithProgress(
        &FWindow, map, [=] { return ImportMap(OpenLevel(source, map, mod), map, gameType, overview, images); },
        FCancelledImports);
    if (!import)
        return false;
    WriteMapImport(*import, images, FSettings);
    if (RoundSelected() && SameTextLatin1(FWindow.MapName(), import->Map)) {
        // The round selected anew on its new picture, its objects and calibration, and back
        // at the moment it showed.
        const double time = FWindow.ReplayTime();
        FWindow.ListBox1DblClick();
        FWindow.SeekTo(time);
    }
    return true;
}

bool TMapImports::ImportMissingMap(const TwexXMLNode& round)
{
    const std::string folder = GameFolder();
    if (folder.empty() || !FImportsTried.insert(UpperCaseLatin1(FWindow.MapName())).second)
        return false;
    const TRoundGame game = RoundGame(round);
    const std::string map = FWindow.MapName();
    // A map the game lacks is said in the notice, and the round goes on as it would without the
    // import: no error box waits over it.
    try {
        const std::string images = FWindow.ProgramFiles().ImageFolders().front();
        const std::optional<TMapImport> import =
            ImportWithProgress(
                &FWindow, map, [=] { return ImportGameMap(folder, game, map, images); }, FCancelledImports);
        if (!import)
            return false;
        WriteMapImport(*import, images, FSettings);
        return true;
    } catch (...) {
        const std::string why = CurrentExceptionMessage();
        FImportFailures[UpperCaseLatin1(map)] = why;
        Notify(ImportNotice(map, why));
        return false;
    }
}

void TMapImports::ImportMap1Click()
{
    QDialog dialog(&FWindow);
    dialog.setObjectName(QStringLiteral("ImportMap"));
    dialog.setWindowTitle(QStringLiteral("Import map"));
    auto* form = new QFormLayout(&dialog);
    auto* source = new QLineEdit(PathText(GameFolder()), &dialog);
    source->setObjectName(QStringLiteral("ESource"));
    source->setToolTip(QStringLiteral("A level folder, a level archive (.rfa), or the game folder"));
    auto* folderButton = new QPushButton(QString::fromUtf8("Folder\u2026"), &dialog);
    auto* archiveButton = new QPushButton(QString::fromUtf8("Archive\u2026"), &dialog);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(source, 1);
    sourceRow->addWidget(folderButton);
    sourceRow->addWidget(archiveButton);
    form->addRow(QStringLiteral("Level or game:"), sourceRow);
    auto* map = new QLineEdit(Latin1(FWindow.MapName()), &dialog);
    map->setObjectName(QStringLiteral("EMap"));
    form->addRow(QStringLiteral("Map:"), map);
    const TwexXMLNode* round = FWindow.RoundNode();
    const TRoundGame game = round ? RoundGame(*round) : TRoundGame();
    auto* mod = new QLineEdit(Latin1(game.Mod), &dialog);
    mod->setObjectName(QStringLiteral("EMod"));
    form->addRow(QStringLiteral("Mod (game folder):"), mod);
    auto* mode = new QComboBox(&dialog);
    mode->setObjectName(QStringLiteral("CBGameType"));
    for (const char* type : GameTypes)
        mode->addItem(QString::fromLatin1(type));
    try {
        mode->setCurrentText(Latin1(GameTypeFolder(game.Mode)));
    } catch (const EBaseError&) {
    }
    form->addRow(QStringLiteral("Game type:"), mode);
    auto* picture = new QComboBox(&dialog);
    picture->setObjectName(QStringLiteral("CBPicture"));
    picture->addItem(QStringLiteral("The terrain"), QStringLiteral("terrain"));
    picture->addItem(QStringLiteral("The game's overview map"), QStringLiteral("overview"));
    form->addRow(QStringLiteral("Picture:"), picture);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(folderButton, &QPushButton::clicked, &dialog, [&] {
        const QString chosen = QFileDialog::getExistingDirectory(&dialog, QStringLiteral("Level or game folder"), source->text());
        if (!chosen.isEmpty())
            source->setText(chosen);
    });
    connect(archiveButton, &QPushButton::clicked, &dialog, [&] {
        const QString chosen = QFileDialog::getOpenFileName(&dialog, QStringLiteral("Level archive"), source->text(),
                                                            QStringLiteral("Level archives (*.rfa)"));
        if (!chosen.isEmpty())
            source->setText(chosen);
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (map->text().trimmed().isEmpty())
        throw EBaseError("Name the map to import");
    ImportMapFrom(PathBytes(source->text()), FromLatin1(map->text().trimmed()), FromLatin1(mod->text().trimmed()),
                  FromLatin1(mode->currentText()), picture->currentData().toString() == QStringLiteral("overview"));
}

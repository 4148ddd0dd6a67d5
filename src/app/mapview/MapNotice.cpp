// The notice over the top of the map view: why the selected round's map has no picture and what
// can be done about it, without stopping the replay; and the search for the game on a first use.
#include "app/mapview/MapImports.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "level/GameFolder.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <atomic>
#include <thread>

// The search for the game on a thread of its own. Its end reaches the notice through this
// object's queue; when it goes (with the window's TMapImports at the latest) it cancels the search and waits
// for the thread, so nothing of it outlives its owner.
class TGameSearchRun : public QObject {
public:
    TGameSearchRun(QObject* parent, const std::string& home, std::function<void(std::optional<std::string>)> ended)
        : QObject(parent)
    {
        FThread = std::thread([this, home, ended = std::move(ended)] {
            TGameSearch search;
            search.Cancel = &FCancel;
            std::optional<std::string> found;
            try {
                found = FindGame(home, search);
            } catch (...) {
                // A search that fails found nothing; it is only ever an offer.
            }
            QMetaObject::invokeMethod(this, [ended, found] { ended(found); }, Qt::QueuedConnection);
        });
    }
    ~TGameSearchRun() override
    {
        FCancel = true;
        FThread.join();
    }

private:
    std::atomic<bool> FCancel{false};
    std::thread FThread;
};

namespace {

// Keeps the notice over the top of the map view as the view changes size.
class TNoticePlacer : public QObject {
public:
    TNoticePlacer(QObject* parent, std::function<void()> place) : QObject(parent), FPlace(std::move(place)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            FPlace();
        return false;
    }

private:
    std::function<void()> FPlace;
};

QPushButton* NoticeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

void TMapImports::CreateMapNotice()
{
    // A child of the scroll box beside its viewport, not in any layout: over the map, moving
    // nothing.
    MapNotice1 = new QFrame(FWindow.ScrollBox1);
    MapNotice1->setObjectName(QStringLiteral("MapNotice1"));
    MapNotice1->setFrameShape(QFrame::StyledPanel);
    MapNotice1->setAutoFillBackground(true);
    QPalette palette = MapNotice1->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
    MapNotice1->setPalette(palette);
    LMapNotice = new QLabel(MapNotice1);
    LMapNotice->setObjectName(QStringLiteral("LMapNotice"));
    LMapNotice->setWordWrap(true);
    LMapNotice->setTextFormat(Qt::PlainText);
    LMapNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    BUseFoundGame = NoticeButton(MapNotice1, "BUseFoundGame", QStringLiteral("Use it"));
    BNoticeGameFolder = NoticeButton(MapNotice1, "BNoticeGameFolder", QString::fromUtf8("Game folder\u2026"));
    BNoticeImportMap = NoticeButton(MapNotice1, "BNoticeImportMap", QString::fromUtf8("Import map\u2026"));
    BNoticeClose = NoticeButton(MapNotice1, "BNoticeClose", QString::fromUtf8("\u00d7"));
    BNoticeClose->setFlat(true);
    BNoticeClose->setToolTip(QStringLiteral("Hide this notice"));
    BNoticeClose->setFixedWidth(BNoticeClose->fontMetrics().height() * 2);
    auto* layout = new QGridLayout(MapNotice1);
    layout->setContentsMargins(6, 4, 2, 4);
    layout->addWidget(LMapNotice, 0, 0);
    layout->addWidget(BNoticeClose, 0, 1, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BUseFoundGame);
    buttons->addWidget(BNoticeGameFolder);
    buttons->addWidget(BNoticeImportMap);
    layout->addLayout(buttons, 1, 0, 1, 2);
    MapNotice1->hide();

    connect(BUseFoundGame, &QPushButton::clicked, this, [this] { RunHandler([this] { UseFoundGameClick(); }); });
    connect(BNoticeGameFolder, &QPushButton::clicked, this, [this] { RunHandler([this] { GameFolder1Click(); }); });
    connect(BNoticeImportMap, &QPushButton::clicked, this, [this] { RunHandler([this] { ImportMap1Click(); }); });
    connect(BNoticeClose, &QPushButton::clicked, MapNotice1, &QWidget::hide);
    FWindow.ScrollBox1->viewport()->installEventFilter(new TNoticePlacer(this, [this] { PlaceMapNotice(); }));
}

void TMapImports::PlaceMapNotice()
{
    if (!MapNotice1 || MapNotice1->isHidden())
        return;
    const QRect view = FWindow.ScrollBox1->viewport()->geometry();
    QLayout* layout = MapNotice1->layout();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(view.width())
                                                   : layout->totalSizeHint().height();
    MapNotice1->setGeometry(view.x(), view.y(), view.width(), std::min(height, view.height()));
    MapNotice1->raise();
}

std::string TMapImports::MapNoticeText() const
{
    return MapNotice1 && !MapNotice1->isHidden() ? FromLatin1(LMapNotice->text()) : std::string();
}

void TMapImports::Notify(const std::string& notice)
{
    if (FNoticeSink)
        FNoticeSink(notice);
}

void TMapImports::TellMapNotice(bool newSelection)
{
    if (newSelection)
        FNoticeProblem.clear();
    if (!FWindow.MapPictureMissing()) {
        MapNotice1->hide();
        return;
    }
    const TSavedGameFolder saved = SavedGameFolder(FSettings.List());
    // A bad saved value is said once a run, and stays for the selection that said it.
    if (!saved.Problem.empty() && !FGameFolderProblemTold) {
        FGameFolderProblemTold = true;
        FNoticeProblem = saved.Problem;
        Notify(saved.Problem);
    }
    const std::string& mapName = FWindow.MapName();
    std::string text = FNoticeProblem;
    const auto line = [&text](const std::string& more) { text += (text.empty() ? "" : "\n") + more; };
    bool offer = false;
    if (const auto failure = FImportFailures.find(UpperCaseLatin1(mapName)); failure != FImportFailures.end())
        line(ImportNotice(mapName, failure->second));
    else if (saved.Folder.empty() && FGameSearchEnabled) {
        if (!FGameSearchDone)
            StartGameSearch(); // the notice comes when it ends
        else if (FFoundGame) {
            line("No picture of " + mapName + ". Use the game in " + *FFoundGame + "?");
            offer = true;
        } else
            line(ImportNotice(mapName, "no game folder is set, and no game was found in the Wine and Proton "
                                       "prefixes nor in ~/Games"));
    }
    if (text.empty()) {
        MapNotice1->hide();
        return;
    }
    LMapNotice->setText(Latin1(text));
    BUseFoundGame->setVisible(offer);
    MapNotice1->show();
    PlaceMapNotice();
}

void TMapImports::StartGameSearch()
{
    if (FGameSearch)
        return;
    FGameSearch = new TGameSearchRun(this, HomeFolder(), [this](std::optional<std::string> found) {
        GameSearchEnded(std::move(found));
    });
}

void TMapImports::GameSearchEnded(std::optional<std::string> found)
{
    // Its thread has ended but for its return: the join, once this call is over, is at once.
    FGameSearch->deleteLater();
    FGameSearch = nullptr;
    FGameSearchDone = true;
    FFoundGame = std::move(found);
    if (RoundSelected())
        TellMapNotice(false);
}

void TMapImports::UseFoundGameClick()
{
    if (!FFoundGame)
        return;
    SetGameFolder(*FFoundGame);
    ImportSelectedMapAgain();
}

// "Export frame…": the map view's picture saved as PNG or JPEG; "Export video…": its dialog;
// and the File menu's export items, which stay at its end.
#include "app/mapview/ExportMenu.h"

#include "app/UTarvelMain.h"
#include "app/mapview/ExportDialogs.h"
#include "app/mapview/VideoExport.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Files.h"
#include "settings/ProgramFolder.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

TExportMenu::TExportMenu(TTarvelMain& window, TSettingsFile& settings) : FWindow(window), FSettings(settings)
{
    QMenu* const file = FWindow.File1;
    FExportSeparator = file->addSeparator();
    ExportFrame1 = file->addAction(QString::fromUtf8("Export frame\u2026"));
    ExportFrame1->setObjectName(QStringLiteral("ExportFrame1"));
    ExportFrame1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ExportVideo1 = file->addAction(QString::fromUtf8("Export video\u2026"));
    ExportVideo1->setObjectName(QStringLiteral("ExportVideo1"));
    connect(ExportFrame1, &QAction::triggered, this, [this] { RunHandler([this] { ExportFrame1Click(); }); });
    connect(ExportVideo1, &QAction::triggered, this, [this] { RunHandler([this] { ExportVideo1Click(); }); });
}

void TExportMenu::KeepExportItemsLast()
{
    // Adding an action that a menu holds already moves it to the end.
    for (QAction* item : {FExportSeparator, ExportFrame1, ExportVideo1})
        FWindow.File1->addAction(item);
}

void TExportMenu::ExportFrame1Click()
{
    std::string folder = FSettings.Values("ExportFolder");
    if (folder.empty())
        folder = ExtractFilePath(FWindow.LogFileName());
    std::string moment = FWindow.LTime->Caption();
    for (char& c : moment)
        if (c == ':')
            c = '-';
    const std::string& mapName = FWindow.MapName();
    const std::string name = folder + (mapName.empty() ? std::string("map") : mapName) + " " + moment + ".png";
    TExportFrameDialog dialog(&FWindow, name, FSettings.Values("FrameExportArea") == "map");
    if (dialog.exec() != QDialog::Accepted)
        return;
    FSettings.SetValue("FrameExportArea", dialog.WholeMap() ? "map" : "view");
    FSettings.SetValue("ExportFolder", ExtractFilePath(dialog.FileName()));
    ExportFrame(dialog.FileName(), dialog.WholeMap());
}

void TExportMenu::ExportFrame(const std::string& fileName, bool wholeMap)
{
    // The bitmap holds the last frame, the one the view shows; nothing is drawn anew.
    const QImage& map = FWindow.MapZoomImage->Picture();
    const QRect visible = VisibleMapRect(FWindow);
    if (!wholeMap && visible.isEmpty())
        throw EBaseError("The map view shows nothing to save");
    SavePictureAtomically(wholeMap ? map : map.copy(visible), fileName);
}

void TExportMenu::ExportVideo1Click()
{
    const TEventInfoList& events = FWindow.Events();
    if (!FWindow.RoundNode() || events.Count() == 0)
        throw EBaseError("No round is being replayed: double-click one in the list first");
    TVideoDialogSetup setup;
    setup.roundStart = FWindow.RoundStartTime();
    setup.roundEnd = events.GetEvent(events.Count() - 1)->Timestamp;
    setup.events = &events;
    const QRect visible = VisibleMapRect(FWindow);
    setup.view = visible.size();
    setup.mapSide = FWindow.MapZoomImage->width();
    const QTreeWidget* board = FWindow.ScoreBord;
    for (int i = 0; i < board->topLevelItemCount(); ++i)
        if (const TInfoClass* state = TScoreBordRows::StateOfRow(board->topLevelItem(i)))
            setup.players.emplace_back(PlayerKey(state->PlayerID),
                                       state->PlayerName + (state->Team() == 1 ? " (AXIS)" : " (ALIES)"));
    setup.track = FWindow.View().Tracked();
    auto number = [this](const char* key, int otherwise) {
        int value = otherwise;
        return TryStrToInt(FSettings.Values(key), value) ? value : otherwise;
    };
    setup.speed = number("VideoSpeed", 10);
    setup.fps = number("VideoFPS", 30);
    if (const std::string size = FSettings.Values("VideoSize"); !size.empty())
        setup.size = size;
    std::string folder = FSettings.Values("ExportFolder");
    if (folder.empty())
        folder = ExtractFilePath(FWindow.LogFileName());
    const std::string& mapName = FWindow.MapName();
    setup.fileName = folder + (mapName.empty() ? std::string("round") : mapName) + ".mp4";

    TExportVideoDialog dialog(&FWindow, setup);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TVideoOptions options = dialog.Options(ViewOptions(FWindow));
    FSettings.SetValue("VideoSpeed", std::to_string(static_cast<int>(options.speed)));
    FSettings.SetValue("VideoFPS", std::to_string(options.fps));
    FSettings.SetValue("VideoSize", dialog.SizeKey());
    FSettings.SetValue("ExportFolder", ExtractFilePath(dialog.FileName()));
    ExportVideo(options, dialog.FileName());
}

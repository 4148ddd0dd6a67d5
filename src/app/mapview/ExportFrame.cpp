// "Export frame…": the map view's picture saved as PNG or JPEG; and the File menu's export items,
// which stay at its end.
#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "base/Files.h"
#include "app/mapview/ExportDialogs.h"
#include "app/mapview/VideoExport.h"

#include <QAction>
#include <QMenu>

void TTarvelMain::KeepExportItemsLast()
{
    // Adding an action that a menu holds already moves it to the end.
    for (QAction* item : {FExportSeparator, ExportFrame1, ExportVideo1})
        File1->addAction(item);
}

void TTarvelMain::ExportFrame1Click()
{
    std::string folder = FSettings.Values("ExportFolder");
    if (folder.empty())
        folder = ExtractFilePath(FLogFileName);
    std::string moment = LTime->Caption();
    for (char& c : moment)
        if (c == ':')
            c = '-';
    const std::string name = folder + (FMapName.empty() ? std::string("map") : FMapName) + " " + moment + ".png";
    TExportFrameDialog dialog(this, name, FSettings.Values("FrameExportArea") == "map");
    if (dialog.exec() != QDialog::Accepted)
        return;
    FSettings.SetValue("FrameExportArea", dialog.WholeMap() ? "map" : "view");
    FSettings.SetValue("ExportFolder", ExtractFilePath(dialog.FileName()));
    ExportFrame(dialog.FileName(), dialog.WholeMap());
}

void TTarvelMain::ExportFrame(const std::string& fileName, bool wholeMap)
{
    // The bitmap holds the last frame, the one the view shows; nothing is drawn anew.
    const QImage& map = MapZoomImage->Picture();
    const QRect visible = VisibleMapRect(*this);
    if (!wholeMap && visible.isEmpty())
        throw EBaseError("The map view shows nothing to save");
    SavePictureAtomically(wholeMap ? map : map.copy(visible), fileName);
}

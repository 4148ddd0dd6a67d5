#include "app/mapview/VideoExport.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Files.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>
#include <QScrollArea>
#include <QSlider>

TVideoOptions ViewOptions(const TTarvelMain& window)
{
    TVideoOptions options;
    const QRect visible = VisibleMapRect(window);
    const int side = window.MapZoomImage->width();
    options.area = TVideoArea::View;
    options.view = visible.size();
    options.zoom = window.Zoom();
    if (side > 0)
        options.centre = QPointF(visible.left() + visible.width() / 2.0, visible.top() + visible.height() / 2.0) / side;
    return options;
}

QRect VisibleMapRect(const TTarvelMain& window)
{
    const QWidget* view = window.ScrollBox1->viewport();
    const QPoint corner = window.MapZoomImage->mapFrom(view, QPoint(0, 0));
    return QRect(corner, view->size()).intersected(window.MapZoomImage->rect());
}

void SavePictureAtomically(const QImage& picture, const std::string& fileName)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(fileName));
    const char* format = extension == ".PNG" ? "PNG" : extension == ".JPG" || extension == ".JPEG" ? "JPEG" : nullptr;
    if (!format)
        throw EBaseError("A picture is saved as .png, .jpg or .jpeg, not as " + fileName);
    if (picture.isNull())
        throw EBaseError("There is no picture to save yet");
    // Encoded first, then written in one piece: a failed write names the system's reason.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (std::string(format) == "JPEG")
        writer.setQuality(92);
    if (!writer.write(picture))
        throw EFCreateError(fileName);
    WriteWholeFile(fileName, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}


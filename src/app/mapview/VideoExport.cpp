#include "app/mapview/VideoExport.h"

#include "app/UTarvelMain.h"

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

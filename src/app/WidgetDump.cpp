#include "app/WidgetDump.h"

#include "app/Controls.h"
#include "base/Json.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

// The program's own texts are 8-bit; the few beyond Latin-1 (the ellipsis of "Calibrate…")
// are written as what they are, not as "?".
std::string Str(const QString& text)
{
    std::string out = "\"";
    for (const char32_t code : text.toUcs4()) {
        if (code < 0x100) {
            const std::string one = JsonString(std::string(1, static_cast<char>(code)));
            out.append(one, 1, one.size() - 2);
        } else {
            out += QString::fromUcs4(&code, 1).toStdString();
        }
    }
    return out + '"';
}
std::string Num(int value) { return JsonNumber(value); }
const char* Bool(bool value) { return value ? "true" : "false"; }

bool IsNamed(const QObject* object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QStringLiteral("qt_"));
}

QString NamedAncestor(const QWidget& widget)
{
    for (const QWidget* parent = widget.parentWidget(); parent; parent = parent->parentWidget())
        if (IsNamed(parent))
            return parent->objectName();
    return QString();
}

// The page control that holds a page, and the page's index there, or null.
const QTabWidget* PageControlOf(const QWidget& widget, int& index)
{
    for (const QWidget* parent = widget.parentWidget(); parent; parent = parent->parentWidget())
        if (auto* pages = qobject_cast<const QTabWidget*>(parent)) {
            index = pages->indexOf(const_cast<QWidget*>(&widget));
            return index >= 0 ? pages : nullptr;
        }
    return nullptr;
}

std::string WidgetJson(const QWidget& widget, bool top)
{
    std::string json = "{\"name\":" + Str(widget.objectName()) + ",\"class\":" +
                       JsonString(widget.metaObject()->className()) +
                       ",\"parent\":" + Str(top ? QString() : NamedAncestor(widget));

    QString text;
    int pageIndex = -1;
    const QTabWidget* pageControl = PageControlOf(widget, pageIndex);
    if (top || qobject_cast<const QMenu*>(&widget))
        text = qobject_cast<const QMenu*>(&widget) ? static_cast<const QMenu&>(widget).title() : widget.windowTitle();
    else if (auto* label = qobject_cast<const QLabel*>(&widget))
        text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(&widget))
        text = button->text();
    else if (auto* memo = qobject_cast<const QPlainTextEdit*>(&widget))
        text = memo->toPlainText();
    else if (pageControl)
        text = pageControl->tabText(pageIndex);
    json += ",\"text\":" + Str(text) + ",\"tooltip\":" + Str(widget.toolTip());

    const QRect g = widget.geometry();
    json += ",\"x\":" + Num(g.x()) + ",\"y\":" + Num(g.y()) + ",\"w\":" + Num(g.width()) + ",\"h\":" + Num(g.height());
    if (!top) {
        // Where it lies in the window's client area, for tools that point at it.
        const QPoint inWindow = widget.mapTo(widget.window(), QPoint(0, 0));
        json += ",\"wx\":" + Num(inWindow.x()) + ",\"wy\":" + Num(inWindow.y());
    }
    json += std::string(",\"enabled\":") + Bool(widget.isEnabled());

    if (top)
        json += ",\"font\":" + Str(QFontInfo(widget.font()).family()) + ",\"fontPixels\":" +
                Num(QFontInfo(widget.font()).pixelSize());
    if (auto* box = qobject_cast<const QCheckBox*>(&widget))
        json += std::string(",\"checked\":") + Bool(box->isChecked());
    if (auto* bar = qobject_cast<const QSlider*>(&widget)) {
        json += ",\"min\":" + Num(bar->minimum()) + ",\"max\":" + Num(bar->maximum()) + ",\"value\":" +
                Num(bar->value()) + ",\"tick\":" + Num(bar->tickInterval()) + ",\"page\":" + Num(bar->pageStep());
        json += std::string(",\"orientation\":\"") + (bar->orientation() == Qt::Vertical ? "vertical" : "horizontal") +
                "\",\"ticks\":\"" + (bar->tickPosition() == QSlider::TicksAbove ? "above" : "below") + '"';
        json += std::string(",\"minAtTopOrLeft\":") +
                Bool(bar->orientation() == Qt::Vertical ? bar->invertedAppearance() : !bar->invertedAppearance());
    }
    if (pageControl)
        json += std::string(",\"tabVisible\":") + Bool(pageControl->isTabVisible(pageIndex)) +
                ",\"active\":" + Bool(pageControl->currentIndex() == pageIndex);
    if (auto* pages = qobject_cast<const QTabWidget*>(&widget))
        json += std::string(",\"tabPosition\":\"") +
                (pages->tabPosition() == QTabWidget::West    ? "left"
                 : pages->tabPosition() == QTabWidget::East  ? "right"
                 : pages->tabPosition() == QTabWidget::South ? "bottom"
                                                             : "top") +
                '"';
    if (auto* view = qobject_cast<const QTreeWidget*>(&widget)) {
        json += ",\"columns\":[";
        for (int column = 0; column < view->columnCount(); ++column) {
            if (column)
                json += ',';
            json += "{\"text\":" + Str(view->headerItem()->text(column)) + ",\"width\":" +
                    Num(view->columnWidth(column)) + '}';
        }
        json += "],\"rows\":" + Num(view->topLevelItemCount());
    }
    if (auto* list = qobject_cast<const QListWidget*>(&widget)) {
        json += ",\"items\":[";
        for (int row = 0; row < list->count(); ++row)
            json += (row ? "," : "") + Str(list->item(row)->text());
        json += "]";
    }
    if (auto* memo = qobject_cast<const QPlainTextEdit*>(&widget))
        json += std::string(",\"readOnly\":") + Bool(memo->isReadOnly());
    if (auto* image = qobject_cast<const TImage*>(&widget))
        json += ",\"pictureW\":" + Num(image->Picture().width()) + ",\"pictureH\":" + Num(image->Picture().height()) +
                ",\"stretch\":" + Bool(image->Stretch());
    return json + '}';
}

void Walk(const QWidget& widget, std::string& out)
{
    // Pages in their order: showing a page reorders the stack's children.
    QList<const QWidget*> children;
    if (auto* stack = qobject_cast<const QStackedWidget*>(&widget)) {
        for (int i = 0; i < stack->count(); ++i)
            children << stack->widget(i);
    } else {
        for (const QObject* child : widget.children())
            if (auto* childWidget = qobject_cast<const QWidget*>(child))
                children << childWidget;
    }
    for (const QWidget* child : children) {
        // A tab bar's scroll buttons are Qt's own, whatever their names.
        if (child->isWindow() || qobject_cast<const QTabBar*>(child))
            continue;
        if (IsNamed(child))
            out += WidgetJson(*child, false) + '\n';
        Walk(*child, out);
    }
}

} // namespace

std::string WidgetTreeJson(const QWidget& window)
{
    std::string out = WidgetJson(window, true) + '\n';
    Walk(window, out);
    return out;
}

std::string MenuItemsJson(const QMenuBar& bar)
{
    std::string out;
    for (const QAction* menuAction : bar.actions()) {
        const QMenu* menu = menuAction->menu();
        if (!menu)
            continue;
        for (const QAction* item : menu->actions()) {
            // An item made for a file carries the name's bytes; its caption is those bytes.
            const QByteArray bytes = item->data().toByteArray();
            const std::string text = bytes.isEmpty() ? Str(item->text()) : JsonString(bytes.toStdString());
            out += "{\"menu\":" + Str(menu->title()) + ",\"name\":" + Str(item->objectName()) +
                   ",\"text\":" + text + ",\"enabled\":" + Bool(item->isEnabled()) + "}\n";
        }
    }
    return out;
}

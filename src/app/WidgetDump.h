#pragma once

#include <string>

class QMenuBar;
class QWidget;

// What a window shows, as JSON lines for the headless tool: one object per named widget,
// the window first and parents before children. Qt's own helper widgets (unnamed or named
// "qt_...") are left out; "parent" names the nearest named ancestor, while x and y are
// relative to the widget that really holds the control, and wx and wy to the window.
std::string WidgetTreeJson(const QWidget& window);

// One object per item of each menu of the bar, in menu order: "menu" (the menu's caption),
// "name", "text", "enabled".
std::string MenuItemsJson(const QMenuBar& bar);

#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>

class QWidget;

// The file-open dialog of the main window: it only asks the user for a file, starting at the
// one it names (the window's open log names the log it opened last). Execute shows a
// QFileDialog unless a test has put its own answer in ExecuteHook.
class TOpenDialog : public QObject {
public:
    explicit TOpenDialog(QWidget* owner);

    std::string FileName; // bytes in the system's file-name encoding
    std::string Filter;   // "Description|patterns|Description|patterns|..."
    int FilterIndex = 1;  // the chosen filter, counted from 1

    // Replaces the dialog: gets the dialog to read and change, returns whether the user confirmed.
    std::function<bool(TOpenDialog&)> ExecuteHook;

    // Shows the dialog modally; true when the user chose a file (FileName and FilterIndex
    // then say which), false when the user cancelled (nothing changes).
    bool Execute();

    // Filter as name filters for QFileDialog: "XML|*.xml" becomes "XML (*.xml)".
    QStringList NameFilters() const;

private:
    QWidget* FOwner;
};

#pragma once

#include <QString>

#include <string>

// Runs the window program: the application object, the main window and the message loop.
int RunTarvel(int argc, char** argv);

// ExecutablePath: the running program's own path (base/Files.h), which the tool needs too.
#include "base/Files.h"

// Makes every reported error a message box; the program goes on when it is closed.
void InstallMessageBoxErrorSink();

// The text of an error message for the screen: messages name files by their bytes, so text
// that is valid UTF-8 is read as such and anything else as Latin-1.
QString ErrorMessageText(const std::string& message);

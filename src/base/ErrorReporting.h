#pragma once

#include "base/LoadProgress.h"

#include <functional>
#include <string>

// The one place where an exception that escapes a handler becomes a message for the user.
// The window program shows a message box, the headless tool writes to standard error, and
// tests capture the message. The program then goes on.

using TErrorSink = std::function<void(const std::string& message)>;

// Installs a sink and returns the previous one. The default sink writes to standard error.
TErrorSink SetErrorSink(TErrorSink sink);

// The message the user sees for the exception being handled (call inside a catch block).
std::string CurrentExceptionMessage();

void ReportError(const std::string& message);

// Runs a handler; an exception that escapes it is reported, except a load the user cancelled.
// Returns false when one escaped.
template <typename Handler>
bool RunHandler(Handler&& handler)
{
    try {
        handler();
        return true;
    } catch (const ELoadCancelled&) {
        return false; // the user stopped it and knows
    } catch (...) {
        ReportError(CurrentExceptionMessage());
        return false;
    }
}

#include "base/ErrorReporting.h"

#include "base/Errors.h"

#include <iostream>
#include <new>

namespace {
TErrorSink& Sink()
{
    static TErrorSink sink = [](const std::string& message) { std::cerr << message << '\n'; };
    return sink;
}
} // namespace

TErrorSink SetErrorSink(TErrorSink sink)
{
    TErrorSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

std::string CurrentExceptionMessage()
{
    try {
        throw;
    } catch (const EBaseError& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void ReportError(const std::string& message)
{
    if (Sink())
        Sink()(message);
}

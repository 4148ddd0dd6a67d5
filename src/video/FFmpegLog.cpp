#include "video/FFmpegLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::mutex LogMutex;
std::string LastComplaint;

void KeepComplaint(void*, int level, const char* format, va_list args)
{
    if (level > AV_LOG_ERROR)
        return;
    char line[512];
    vsnprintf(line, sizeof line, format, args);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const std::lock_guard lock(LogMutex);
    LastComplaint = text;
}

} // namespace

void QuietenFFmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(KeepComplaint); });
}

std::string LastFFmpegComplaint()
{
    const std::lock_guard lock(LogMutex);
    return LastComplaint;
}

void ClearFFmpegComplaint()
{
    const std::lock_guard lock(LogMutex);
    LastComplaint.clear();
}

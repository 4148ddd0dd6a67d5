#pragma once

// FFmpeg talks on standard error by default ("[dds @ 0x...] ..."); the program's own messages
// must stand alone there. Once quietened, its errors are kept instead, the last one to explain
// a failure.

#include <string>

// Takes FFmpeg's messages from now on, for the whole process; any number of calls.
void QuietenFFmpeg();
// FFmpeg's last error since the last ClearFFmpegComplaint, "" when none.
std::string LastFFmpegComplaint();
void ClearFFmpegComplaint();

// Not listed: only app/replay/Unlisted.cpp is.

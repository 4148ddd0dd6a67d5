#pragma once

#include <cstddef>

// Asks the system to back a large buffer with huge pages. Loading a big log touches hundreds
// of megabytes once; with small pages the page faults cost more than the parsing itself.
// Only the whole huge pages inside the buffer are affected; small buffers are left alone.
void AdviseHugePages(void* buffer, size_t bytes);

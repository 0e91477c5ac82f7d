#pragma once
// The library's log: "Ovra Codecs:" lines to the front end's log callback and to the log file.

#include <picwork/picwork.h>

namespace picwork {

// The callback kept for the whole library (the last OvraInitRetouch wins); null for none.
void SetLogCallback(ImageLogProc proc);

// One line: the prefix, then the message formatted printf-style (at most 1023 characters).
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace picwork

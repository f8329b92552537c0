// The controller's serial-number line as display text.
#pragma once

#include "framework/afx_string.h"

// line (NUL-terminated bytes) converted from the thread's ANSI code page,
// unchanged: no trimming or checking. Throws the framework's memory or
// failure exception when the conversion fails.
CString SerialNumberText(const char* line);

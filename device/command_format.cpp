#include "device/command_format.h"

#include <cstdarg>
#include <cstdio>

int FormatCommand(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, kCommandBufferSize, format, args);
    va_end(args);
    if (written < 0 || written >= kCommandBufferSize)
        return -1;
    return written;
}

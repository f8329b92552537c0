// The controller's commands and their formatting. Portable: no Win32.
#pragma once

// Size of the command buffer, terminating NUL included.
constexpr int kCommandBufferSize = 100;

// Asks for the controller's serial number; answered by one line.
constexpr char kReadSerialCommand[] = "?readsn\r";
// Asks for the switch inputs; answered by one line of switch characters.
constexpr char kSwitchInputsCommand[] = "?swin\r";

// Bounded formatted output into a kCommandBufferSize-byte buffer (always
// NUL-terminated). Returns the characters written, or -1 when formatting
// failed or the text did not fit.
int FormatCommand(char* buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));

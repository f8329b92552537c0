#include "device/serial_number.h"

#include <windows.h>

#include <vector>

#include "framework/afx_exception.h"

CString SerialNumberText(const char* line) {
    const int length = ::MultiByteToWideChar(CP_THREAD_ACP, 0, line, -1, nullptr, 0);
    if (length <= 0)
        AfxThrowLastError();
    std::vector<wchar_t> text(static_cast<size_t>(length));
    if (::MultiByteToWideChar(CP_THREAD_ACP, 0, line, -1, text.data(), length) <= 0)
        AfxThrowLastError();
    return CString(text.data());
}

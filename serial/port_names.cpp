#include "serial/port_names.h"

#include <cwchar>

namespace {

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

}  // namespace

int PortNumberOf(const PortName& name) {
    // Eight digits at most: the longest number a device name holds.
    constexpr size_t kMaxDigits = 8;
    if (name.size() < 4 || name.size() > 3 + kMaxDigits || UpperAscii(name[0]) != u'C' || UpperAscii(name[1]) != u'O' ||
        UpperAscii(name[2]) != u'M' || name[3] == u'0')
        return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < u'0' || name[i] > u'9')
            return 0;
        number = number * 10 + (name[i] - u'0');
    }
    return number;
}

bool TakePortName(unsigned long type, const char16_t* buffer, size_t capacityChars, PortName* name) {
    if (type != kPortNameTypeSz && type != kPortNameTypeExpandSz)
        return false;
    size_t length = 0;
    while (length < capacityChars && buffer[length] != u'\0')
        ++length;
    const PortName taken(buffer, length);
    if (PortNumberOf(taken) == 0)
        return false;
    *name = taken;
    return true;
}

bool SamePortName(const PortName& a, const PortName& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

bool ComposePortDeviceName(int n, wchar_t* name, size_t capacity) {
    const int written = std::swprintf(name, capacity, n < 10 ? L"COM%d" : L"\\\\.\\COM%d", n);
    return written > 0 && static_cast<size_t>(written) < capacity;
}

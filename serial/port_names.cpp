#include "serial/port_names.h"

#include <cwchar>

namespace {

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

}  // namespace

bool TakePortName(unsigned long type, const char16_t* buffer, size_t capacityChars, PortName* name) {
    if (type != kPortNameTypeSz && type != kPortNameTypeExpandSz)
        return false;
    size_t length = 0;
    while (length < capacityChars && buffer[length] != u'\0')
        ++length;
    static const char16_t kPrefix[] = u"COM";
    if (length < 3)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        if (UpperAscii(buffer[i]) != kPrefix[i])
            return false;
    }
    name->assign(buffer, length);
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

// CString: the wide string the dialogs use, with the few operations they need.
#pragma once

#include <windows.h>
#include <string>

class CString : public std::wstring {
public:
    CString() = default;
    CString(const wchar_t* s) : std::wstring(s ? s : L"") {}
    CString(const std::wstring& s) : std::wstring(s) {}

    bool IsEmpty() const { return empty(); }
    int GetLength() const { return static_cast<int>(size()); }
    operator const wchar_t*() const { return c_str(); }

    // The text from index nFirst on; empty when the string is shorter.
    CString Mid(int nFirst) const {
        if (nFirst < 0)
            nFirst = 0;
        if (static_cast<size_t>(nFirst) >= size())
            return CString();
        return CString(substr(static_cast<size_t>(nFirst)));
    }

    // Loads string nID of the module's string table; empty (and FALSE) when missing.
    BOOL LoadString(UINT nID);
};

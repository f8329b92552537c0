#include "framework/afx_system_library.h"

void AfxRestrictDllSearchToSystemFolder() {
    // Looked up: kernel32 of a Windows 7 without KB2533623 lacks it, and the
    // program must start there too.
    const auto set = AfxGetProcAddress<BOOL(WINAPI*)(DWORD)>(::GetModuleHandleW(L"kernel32.dll"),
                                                               "SetDefaultDllDirectories");
    if (set)
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

CSystemLibrary::~CSystemLibrary() {
    if (m_module)
        ::FreeLibrary(m_module);
}

bool CSystemLibrary::Load(const wchar_t* name) {
    if (!m_module)
        m_module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return m_module != nullptr;
}

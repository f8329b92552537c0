#include "framework/afx_system_library.h"

void AfxRestrictDllSearchToSystemFolder() {
    // Looked up: kernel32 of a Windows 7 without KB2533623 lacks it, and the
    // program must start there too.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC proc = kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    if (proc)
        reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(proc))(LOAD_LIBRARY_SEARCH_SYSTEM32);
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

// System DLLs loaded while the program runs (winmm for the timer, oleacc
// when a screen reader asks), from the system folder only.
//
// Windows looks for a DLL that is not one of its KnownDLLs in the program's
// own folder first: a DLL of the same name left beside the program (in a
// Downloads folder, say) would run inside it under our name. The program
// therefore imports KnownDLLs only (the common controls come through the
// manifest), restricts every later load to the system folder at start, and
// loads the rest here. Used on the user-interface thread.
#pragma once

#include <windows.h>

// Every later load of a DLL by name in this process, the program's own and
// those a system DLL makes on its behalf (oleacc, a theme, an input
// method), comes from the system folder. Called first thing at start.
// Does nothing on a Windows 7 without the update that brought the call.
void AfxRestrictDllSearchToSystemFolder();

// The function `module` exports under name (null module or no such export:
// null), as its own type: the run-time look-up of a call newer than the
// oldest Windows the program starts on, or of a DLL loaded at run time.
template <typename F>
F AfxGetProcAddress(HMODULE module, const char* name) {
    const FARPROC proc = module ? ::GetProcAddress(module, name) : nullptr;
    // Through void (*)(): FARPROC's own signature differs from the real one.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

// A system DLL loaded from the system folder, freed with the object.
class CSystemLibrary {
public:
    CSystemLibrary() = default;
    ~CSystemLibrary();
    CSystemLibrary(const CSystemLibrary&) = delete;
    CSystemLibrary& operator=(const CSystemLibrary&) = delete;

    // Loads name (e.g. L"winmm.dll") from the system folder unless this
    // object holds it already. True when it is loaded.
    bool Load(const wchar_t* name);
    // The function the library exports under name; null when the library is
    // not loaded or has no such export.
    template <typename F>
    F Proc(const char* name) const {
        return AfxGetProcAddress<F>(m_module, name);
    }

private:
    HMODULE m_module = nullptr;
};

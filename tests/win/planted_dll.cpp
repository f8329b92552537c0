// A DLL someone left beside the program, copied under the name of a DLL the
// program may load: when it is loaded it leaves a mark beside itself
// (<its file>.loaded). It offers winmm's timer calls, so that a program
// that imports them starts and the mark tells that it ran.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t mark[MAX_PATH + 16] = {};
    const DWORD length = ::GetModuleFileNameW(self, mark, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    ::lstrcpyW(mark + length, L".loaded");
    const HANDLE file = ::CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return TRUE;
}

extern "C" UINT WINAPI PlantedTimeBeginPeriod(UINT) { return 0; }
extern "C" UINT WINAPI PlantedTimeEndPeriod(UINT) { return 0; }

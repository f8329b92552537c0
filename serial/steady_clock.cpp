#include "serial/steady_clock.h"

#include <windows.h>

unsigned long long SteadyMs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<unsigned long long>(now.QuadPart / frequency * 1000 + now.QuadPart % frequency * 1000 / frequency);
}

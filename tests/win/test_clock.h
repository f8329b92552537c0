// Elapsed time for the tests' loose duration checks.
#pragma once

#include <windows.h>

class Stopwatch {
public:
    Stopwatch() : start_(::GetTickCount64()) {}
    long long Ms() const { return static_cast<long long>(::GetTickCount64() - start_); }

private:
    ULONGLONG start_;
};

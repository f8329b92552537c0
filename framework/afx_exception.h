// The framework's exceptions: out of memory, and a failed system call
// carried as an HRESULT.
#pragma once

#include <windows.h>

class CException {
public:
    virtual ~CException() = default;
    // Text shown when the exception reaches a window procedure unhandled.
    virtual const wchar_t* Describe() const = 0;
};

class CMemoryException : public CException {
public:
    const wchar_t* Describe() const override { return L"Out of memory."; }
};

class CFailureException : public CException {
public:
    explicit CFailureException(HRESULT hr) : m_hr(hr) {}
    HRESULT Error() const { return m_hr; }
    const wchar_t* Describe() const override { return L"An operation of the system failed."; }

private:
    HRESULT m_hr;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowFailureException(HRESULT hr);
// Throws for GetLastError(): the memory exception for ERROR_NOT_ENOUGH_MEMORY /
// ERROR_OUTOFMEMORY, otherwise the failure exception with its HRESULT.
[[noreturn]] void AfxThrowLastError();

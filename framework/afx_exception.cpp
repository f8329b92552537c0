#include "framework/afx_exception.h"

void AfxThrowMemoryException() { throw CMemoryException(); }

void AfxThrowFailureException(HRESULT hr) { throw CFailureException(hr); }

void AfxThrowLastError() {
    const DWORD error = ::GetLastError();
    if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY)
        AfxThrowMemoryException();
    AfxThrowFailureException(HRESULT_FROM_WIN32(error));
}

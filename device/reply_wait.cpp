#include "device/reply_wait.h"

#include <windows.h>

#include "serial/com_link.h"

bool WaitForReply() {
    // 200 down to 0 inclusive: 201 tests, the first right after the send.
    for (int k = 200;; --k) {
        if (theComLink.InputWaiting())
            return true;
        ::Sleep(10);
        if (k <= 0)
            return false;
    }
}

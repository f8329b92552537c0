#include "device/exchange.h"

#include <windows.h>

#include <cstring>

#include "device/command_format.h"
#include "serial/com_link.h"

void SendCommand(char* buffer, const char* command) {
    theComLink.DiscardInput();
    FormatCommand(buffer, "%s", command);
    theComLink.SendData(buffer, static_cast<int>(std::strlen(buffer)));
}

bool WaitForReply(const std::atomic<int>* stop) {
    // 200 down to 0 inclusive: 201 tests, the first right after the send.
    for (int k = 200;; --k) {
        if (stop && stop->load())
            return false;
        if (theComLink.InputWaiting())
            return true;
        ::Sleep(10);
        if (k <= 0)
            return false;
    }
}

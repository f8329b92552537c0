#include "device/switch_state.h"

namespace {

// The reply with every byte from 0x01 to 0x20 removed, cut at the first NUL.
std::string CleanReply(const char* line) {
    std::string cleaned;
    for (const char* p = line; *p; ++p) {
        // White space (0x09-0x0D, space) and the other control bytes go;
        // every byte from 0x21 on stays, 0x80-0xFF included. Tested on the
        // unsigned value: a negative char handed to isspace is undefined.
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte <= 0x20)
            continue;
        cleaned.push_back(*p);
    }
    return cleaned;
}

}  // namespace

bool ReadingIsCurrent(const SwitchReading& reading, unsigned long long nowMs) {
    return ReadingLeftMs(reading, nowMs) > 0;
}

unsigned long long ReadingLeftMs(const SwitchReading& reading, unsigned long long nowMs) {
    if (!reading.read || nowMs - reading.atMs >= kStatusStaleMs)
        return 0;
    return kStatusStaleMs - (nowMs - reading.atMs);
}

unsigned long long ReadingLeftMsShown(SwitchReading& reading, unsigned long long nowMs) {
    const unsigned long long left = ReadingLeftMs(reading, nowMs);
    if (reading.read && left == 0)
        reading.shownExpired = true;
    return left;
}

bool ParseSwitchStatus(SwitchState state, char* line, int count, unsigned long long nowMs) {
    if (count < 0)
        count = 0;
    if (count > 99)
        count = 99;
    line[count] = '\0';

    const std::string cleaned = CleanReply(line);
    if (cleaned.size() < kMinStatusLength)
        return false;
    const size_t n = cleaned.size() < kSwitchCount ? cleaned.size() : kSwitchCount;
    // An error text or line noise is no reading: taken as switches, every
    // character that is not '1' would claim a clear switch.
    for (size_t i = 0; i < n; ++i) {
        if (cleaned[i] != '0' && cleaned[i] != '1')
            return false;
    }

    CSingleLock lock(&state.m_stateLock, true);
    bool changed = !ReadingIsCurrent(state.m_reading, nowMs) || state.m_reading.shownExpired;
    for (size_t i = 0; i < kSwitchCount; ++i) {
        const int value = (i < n && cleaned[i] == '1') ? 1 : 0;
        if (state.m_switch[i] != value) {
            state.m_switch[i] = value;
            changed = true;
        }
    }
    state.m_reading = {true, nowMs, false};
    return changed;
}

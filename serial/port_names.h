// What Windows reports of the COM ports present, in terms that need no
// Win32: which "PortName" registry values name a COM port, the port with
// its device's texts, and the device name under which a port number is
// opened.
#pragma once

#include <cstddef>
#include <string>

// Registry value types (as in winnt.h) that a port name may have.
constexpr unsigned long kPortNameTypeSz = 1;        // REG_SZ
constexpr unsigned long kPortNameTypeExpandSz = 2;  // REG_EXPAND_SZ, taken unexpanded

// The buffer a "PortName" value is read into: 512 bytes, 256 UTF-16 units.
constexpr size_t kPortNameBufferChars = 256;

// A port name in UTF-16 code units, as the registry holds it.
using PortName = std::u16string;

// The number of the port a name names: "COM" in any case, then the decimal
// digits of a number from 1 to 99,999,999 with no leading zero. These are
// the names Connect opens exactly, as "COM<n>" or "\\.\COM<n>"; 0 for any
// other name ("COM03" or "COM3A" would open COM3, which may be another
// device).
int PortNumberOf(const PortName& name);

// Takes the name from a "PortName" value of type `type` read into `buffer`
// (capacityChars units, zero-filled before the read). Accepts REG_SZ and
// REG_EXPAND_SZ (taken unexpanded) holding a name PortNumberOf reads; the
// name ends at the first NUL, or at the end of the buffer when the value
// filled it without one. Returns false (name untouched) for any other value.
bool TakePortName(unsigned long type, const char16_t* buffer, size_t capacityChars, PortName* name);

// Whether two port names are the same name, case aside (ASCII), as Windows
// takes device names.
bool SamePortName(const PortName& a, const PortName& b);

// A COM port present, with what Windows records of the device behind it:
// its friendly name (e.g. "USB Serial Port (COM3)") and its maker, each
// empty when none is recorded.
struct PresentPort {
    PortName name;
    std::u16string friendlyName;
    std::u16string maker;
};

// Composes the device name of COM port n into name (capacity chars): "COM<n>"
// below 10, "\\.\COM<n>" from 10 on. False when it does not fit.
bool ComposePortDeviceName(int n, wchar_t* name, size_t capacity);

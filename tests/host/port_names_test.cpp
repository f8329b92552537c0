// Which "PortName" values name a port, and the device name each port
// number is opened under.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "serial/port_names.h"

namespace {

TEST(PortNames, ComNamesOfStringTypesOnlyInAnyCaseUnchanged) {
    const struct { unsigned long type; std::u16string value; bool taken; } rows[] = {
        {kPortNameTypeSz, u"com5", true}, {kPortNameTypeExpandSz, u"cOm12", true}, {kPortNameTypeSz, u"COM99999999", true},
        {kPortNameTypeSz, u"LPT1", false}, {kPortNameTypeSz, u"CO", false}, {kPortNameTypeSz, u"", false},
        {7 /* REG_MULTI_SZ */, u"COM7", false}, {4 /* REG_DWORD */, u"COM7", false},
        // Names whose number would open another port, or none.
        {kPortNameTypeSz, u"COM03", false}, {kPortNameTypeSz, u"COM3A", false}, {kPortNameTypeSz, u"COMX", false},
        {kPortNameTypeSz, u"COM", false}, {kPortNameTypeSz, u"COM 3", false}, {kPortNameTypeSz, u"COM+3", false},
        {kPortNameTypeSz, u"COM0", false}, {kPortNameTypeSz, u"COM100000000", false},
        {kPortNameTypeExpandSz, u"COM%X%", false}};
    for (const auto& r : rows) {
        std::vector<char16_t> buffer(kPortNameBufferChars, u'\0');
        r.value.copy(buffer.data(), r.value.size());
        PortName name = u"kept";
        EXPECT_EQ(r.taken, TakePortName(r.type, buffer.data(), buffer.size(), &name)) << r.value.size();
        EXPECT_EQ(r.taken ? r.value : u"kept", name);
    }
    // 256 units and no NUL: read up to the buffer's end and no further.
    std::vector<char16_t> full(kPortNameBufferChars, u'7');
    full[0] = u'C', full[1] = u'O', full[2] = u'M';
    PortName name;
    EXPECT_FALSE(TakePortName(kPortNameTypeSz, full.data(), full.size(), &name));
    EXPECT_EQ(9, PortNumberOf(u"com9"));
    EXPECT_EQ(99999999, PortNumberOf(u"COM99999999"));
}

TEST(PortNames, DeviceNameOfEachPortNumber) {
    // A null name: the device name does not fit the 16-character buffer.
    const struct { int port; const wchar_t* name; } rows[] = {
        {9, L"COM9"}, {10, L"\\\\.\\COM10"}, {99999999, L"\\\\.\\COM99999999"}, {100000000, nullptr}, {INT_MAX, nullptr}};
    for (const auto& r : rows) {
        wchar_t name[16];
        ASSERT_EQ(r.name != nullptr, ComposePortDeviceName(r.port, name, 16)) << r.port;
        EXPECT_TRUE(!r.name || std::wstring(r.name) == name) << r.port;
    }
}

}  // namespace

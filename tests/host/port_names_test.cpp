// Which "PortName" values become list entries, and in what order.
#include <gtest/gtest.h>

#include <vector>

#include "serial/port_names.h"

namespace {

std::vector<char16_t> Buffer(const std::u16string& text) {
    std::vector<char16_t> buffer(kPortNameBufferChars, u'\0');
    for (size_t i = 0; i < text.size() && i < buffer.size(); ++i)
        buffer[i] = text[i];
    return buffer;
}

bool Take(unsigned long type, const std::u16string& text, PortName* name) {
    const auto buffer = Buffer(text);
    return TakePortName(type, buffer.data(), buffer.size(), name);
}

TEST(PortNamesTest, AcceptsComPrefixInAnyCaseUnchanged) {
    PortName name;
    ASSERT_TRUE(Take(kPortNameTypeSz, u"com5", &name));
    EXPECT_EQ(u"com5", name);
    ASSERT_TRUE(Take(kPortNameTypeExpandSz, u"CoM%X%", &name));
    EXPECT_EQ(u"CoM%X%", name) << "taken unexpanded";
}

TEST(PortNamesTest, RejectsOtherPortsAndTypes) {
    PortName name = u"kept";
    EXPECT_FALSE(Take(kPortNameTypeSz, u"LPT1", &name));
    EXPECT_FALSE(Take(kPortNameTypeSz, u"CO", &name));
    EXPECT_FALSE(Take(kPortNameTypeSz, u"", &name));
    EXPECT_FALSE(Take(7 /* REG_MULTI_SZ */, u"COM7", &name));
    EXPECT_FALSE(Take(4 /* REG_DWORD */, u"COM7", &name));
    EXPECT_EQ(u"kept", name);
}

TEST(PortNamesTest, ValueFillingTheBufferIsNotReadBeyondIt) {
    // 256 units and no NUL; the bound is the buffer's own size.
    std::vector<char16_t> exact(kPortNameBufferChars, u'7');
    exact[0] = u'C', exact[1] = u'O', exact[2] = u'M';
    PortName name;
    ASSERT_TRUE(TakePortName(kPortNameTypeSz, exact.data(), exact.size(), &name));
    EXPECT_EQ(kPortNameBufferChars, name.size());
}

TEST(PortNamesTest, SetIsOrdinalAndUnique) {
    PortNameSet set;
    for (const char16_t* n : {u"COM3", u"COM1", u"COM10", u"COM2", u"COM1", u"com1"})
        set.insert(n);
    const std::vector<PortName> order(set.begin(), set.end());
    EXPECT_EQ((std::vector<PortName>{u"COM1", u"COM10", u"COM2", u"COM3", u"com1"}), order);
}

}  // namespace

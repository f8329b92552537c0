#include "tests/win/screen_reader.h"

#include <gtest/gtest.h>

#include <set>

#include "display/panel_model.h"

ReadElement ReadOf(IAccessible* object, LONG child) {
    VARIANT id, v;
    ::VariantInit(&id), ::VariantInit(&v);
    id.vt = VT_I4, id.lVal = child;
    const auto text = [&](HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
        BSTR s = nullptr;
        std::wstring taken = (object->*get)(id, &s) == S_OK && s ? std::wstring(s, ::SysStringLen(s)) : std::wstring();
        ::SysFreeString(s);
        return taken;
    };
    const auto number = [&](HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) {
        const LONG n = (object->*get)(id, &v) == S_OK && v.vt == VT_I4 ? v.lVal : 0;
        ::VariantClear(&v);
        return n;
    };
    ReadElement e;
    e.name = text(&IAccessible::get_accName), e.value = text(&IAccessible::get_accValue);
    e.role = number(&IAccessible::get_accRole), e.state = number(&IAccessible::get_accState);
    LONG x = 0, y = 0, w = 0, h = 0;
    if (object->accLocation(&x, &y, &w, &h, id) == S_OK)
        e.at = {x, y, x + w, y + h};
    return e;
}

std::vector<ReadElement> ReadWindow(HWND hWnd, bool elementsToo) {
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&object))))
        return {};
    std::vector<ReadElement> read = {ReadOf(object, CHILDID_SELF)};
    LONG count = 0, obtained = 0;
    if (elementsToo)
        object->get_accChildCount(&count);
    std::vector<VARIANT> children(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 && FAILED(::AccessibleChildren(object, 0, count, children.data(), &obtained)))
        obtained = 0;
    for (LONG i = 0; i < obtained; ++i) {
        // The panel's elements are simple ones, numbered; an object would not be.
        read.push_back(children[i].vt == VT_I4 ? ReadOf(object, children[i].lVal) : ReadElement{L"(an object)"});
        ::VariantClear(&children[i]);
    }
    object->Release();
    return read;
}

std::vector<std::wstring> ExpectPanelSays(HWND dialog, int dpi, const char* says) {
    const std::vector<ReadElement> read = ReadWindow(PanelWindow(dialog), true);
    const std::vector<PanelBox> boxes = PanelBoxes(PanelSnapshot{}, dpi);
    std::vector<std::wstring> said;
    std::set<std::wstring> names;
    if (read.size() != boxes.size() + 1) {
        ADD_FAILURE() << "the panel reads as " << read.size() << " objects and elements";
        return said;
    }
    EXPECT_EQ(L"Limit switches", read[0].name);
    EXPECT_EQ(ROLE_SYSTEM_GROUPING, read[0].role);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const ReadElement& e = read[i + 1];
        RECT box = {boxes[i].rect.left, boxes[i].rect.top, boxes[i].rect.right, boxes[i].rect.bottom};
        ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_TRUE(::EqualRect(&box, &e.at)) << "element " << i + 1 << " is not at its box";
        names.insert(e.name);
        const char letter = e.value == L"set" ? 'S' : e.value == L"clear" ? 'C' : e.value == L"not read" ? 'N' : '?';
        EXPECT_EQ(says[i], letter) << "element " << i + 1;
        EXPECT_EQ(letter == 'S', (e.state & STATE_SYSTEM_CHECKED) != 0) << "element " << i + 1;
        EXPECT_EQ(letter == 'N', (e.state & STATE_SYSTEM_UNAVAILABLE) != 0) << "element " << i + 1;
        said.push_back(e.value);
    }
    EXPECT_EQ(boxes.size(), names.size()) << "elements named alike";
    return said;
}

#include "tests/win/screen_reader.h"

#include <gtest/gtest.h>

#include <set>

#include "display/panel_model.h"
#include "sim/win/window_reach.h"

namespace {

std::wstring Take(BSTR text) {
    std::wstring taken = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return taken;
}

}  // namespace

ReadElement ReadOf(IAccessible* object, LONG child) {
    ReadElement e;
    VARIANT id;
    ::VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    BSTR text = nullptr;
    if (object->get_accName(id, &text) == S_OK)
        e.name = Take(text);
    text = nullptr;
    if (object->get_accValue(id, &text) == S_OK)
        e.value = Take(text);
    VARIANT v;
    ::VariantInit(&v);
    if (object->get_accRole(id, &v) == S_OK && v.vt == VT_I4)
        e.role = v.lVal;
    ::VariantClear(&v);
    if (object->get_accState(id, &v) == S_OK && v.vt == VT_I4)
        e.state = v.lVal;
    ::VariantClear(&v);
    LONG x = 0, y = 0, w = 0, h = 0;
    if (object->accLocation(&x, &y, &w, &h, id) == S_OK)
        e.at = {x, y, x + w, y + h};
    return e;
}

ReadWindow::ReadWindow(HWND hWnd, bool elementsToo) {
    IAccessible* object = nullptr;
    const HRESULT got = ::AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&object));
    if (FAILED(got) || !object) {
        error = "no object for the window: " + std::to_string(got);
        return;
    }
    self = ReadOf(object, CHILDID_SELF);
    LONG count = 0, obtained = 0;
    if (elementsToo)
        object->get_accChildCount(&count);
    std::vector<VARIANT> children(count > 0 ? count : 0);
    if (count > 0 && FAILED(::AccessibleChildren(object, 0, count, children.data(), &obtained)))
        error = "its elements cannot be listed";
    for (LONG i = 0; i < obtained; ++i) {
        if (children[i].vt == VT_I4)
            elements.push_back(ReadOf(object, children[i].lVal));
        else
            error = "an element that is an object of its own";
        ::VariantClear(&children[i]);
    }
    object->Release();
}

HWND PanelWindow(HWND dialog) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (WindowClass(child) == L"AfxWnd")
            return child;
    }
    return nullptr;
}

std::vector<std::wstring> ExpectPanelSays(HWND dialog, int dpi, const char* says) {
    const ReadWindow read(PanelWindow(dialog), true);
    EXPECT_EQ("", read.error);
    EXPECT_EQ(L"Limit switches", read.self.name);
    EXPECT_EQ(ROLE_SYSTEM_GROUPING, read.self.role);
    const std::vector<PanelBox> boxes = PanelBoxes(PanelSnapshot{}, dpi);
    std::vector<std::wstring> said;
    std::set<std::wstring> names;
    EXPECT_EQ(boxes.size(), read.elements.size());
    for (size_t i = 0; i < boxes.size() && i < read.elements.size(); ++i) {
        const ReadElement& e = read.elements[i];
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

#include "sim/win/screen_reader.h"

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
        ReadElement element;
        element.name = L"(an object)";
        read.push_back(children[i].vt == VT_I4 ? ReadOf(object, children[i].lVal) : element);
        ::VariantClear(&children[i]);
    }
    object->Release();
    return read;
}

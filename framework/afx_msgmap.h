// Static message maps: each window class lists the messages it handles in a
// table that also names its base class's table. The dialog procedure walks
// the chain from the most derived class up and calls the first match.
#pragma once

#include <windows.h>

class CWnd;


// How a handler is called and what its result means to the dialog manager.
enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_v_v,    // void ()
    AfxSig_v_u_l,  // void (UINT, LPARAM)          WM_SYSCOMMAND
    AfxSig_h_v,    // HCURSOR ()                   WM_QUERYDRAGICON
    AfxSig_l_w_l,  // LRESULT (WPARAM, LPARAM)     private messages
    AfxSig_b_v,    // BOOL ()                      WM_QUERYENDSESSION
    AfxSig_v_b,    // void (BOOL)                  WM_ENDSESSION
    AfxSig_v_up,   // void (UINT_PTR)              WM_TIMER
    AfxSig_b_u_up, // BOOL (UINT, DWORD_PTR)       WM_DEVICECHANGE
};

// A handler of any of the signatures above; the member that was set is the
// one the entry's signature names.
union AFX_PMSG {
    constexpr AFX_PMSG() : pfn_v_v(nullptr) {}
    constexpr AFX_PMSG(void (CWnd::*pfn)()) : pfn_v_v(pfn) {}
    constexpr AFX_PMSG(void (CWnd::*pfn)(UINT, LPARAM)) : pfn_v_u_l(pfn) {}
    constexpr AFX_PMSG(HCURSOR (CWnd::*pfn)()) : pfn_h_v(pfn) {}
    constexpr AFX_PMSG(LRESULT (CWnd::*pfn)(WPARAM, LPARAM)) : pfn_l_w_l(pfn) {}
    constexpr AFX_PMSG(BOOL (CWnd::*pfn)()) : pfn_b_v(pfn) {}
    constexpr AFX_PMSG(void (CWnd::*pfn)(BOOL)) : pfn_v_b(pfn) {}
    constexpr AFX_PMSG(void (CWnd::*pfn)(UINT_PTR)) : pfn_v_up(pfn) {}
    constexpr AFX_PMSG(BOOL (CWnd::*pfn)(UINT, DWORD_PTR)) : pfn_b_u_up(pfn) {}

    void (CWnd::*pfn_v_v)();
    void (CWnd::*pfn_v_u_l)(UINT, LPARAM);
    HCURSOR (CWnd::*pfn_h_v)();
    LRESULT (CWnd::*pfn_l_w_l)(WPARAM, LPARAM);
    BOOL (CWnd::*pfn_b_v)();
    void (CWnd::*pfn_v_b)(BOOL);
    void (CWnd::*pfn_v_up)(UINT_PTR);
    BOOL (CWnd::*pfn_b_u_up)(UINT, DWORD_PTR);
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // window message
    UINT nCode;     // notification code, for WM_COMMAND
    UINT nID;       // control id, for WM_COMMAND
    UINT nSig;      // AfxSig
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                              \
        using ThisClass [[maybe_unused]] = theClass;                               \
        using TheBaseClass = baseClass;                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                            \
    {0, 0, 0, AfxSig_end, AFX_PMSG()}};                                                 \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                              \
    }

// A handler of the derived class as a member of CWnd with the exact type
// given (the derived class's own type is checked by the conversion).
#define AFX_HANDLER(type, fn) AFX_PMSG(static_cast<type>(&ThisClass::fn))

#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, AfxSig_v_u_l, AFX_HANDLER(void (CWnd::*)(UINT, LPARAM), OnSysCommand)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), OnPaint)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, AfxSig_h_v, AFX_HANDLER(HCURSOR (CWnd::*)(), OnQueryDragIcon)},
#define ON_CBN_SELCHANGE(id, fn) \
    {WM_COMMAND, CBN_SELCHANGE, (id), AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), fn)},
#define ON_CBN_CLOSEUP(id, fn) \
    {WM_COMMAND, CBN_CLOSEUP, (id), AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), fn)},
#define ON_CBN_DROPDOWN(id, fn) \
    {WM_COMMAND, CBN_DROPDOWN, (id), AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), fn)},
#define ON_CBN_EDITCHANGE(id, fn) \
    {WM_COMMAND, CBN_EDITCHANGE, (id), AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), fn)},
#define ON_BN_CLICKED(id, fn) \
    {WM_COMMAND, BN_CLICKED, (id), AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), fn)},
#define ON_MESSAGE(message, fn) \
    {(message), 0, 0, AfxSig_l_w_l, AFX_HANDLER(LRESULT (CWnd::*)(WPARAM, LPARAM), fn)},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, AfxSig_v_v, AFX_HANDLER(void (CWnd::*)(), OnDestroy)},
#define ON_WM_QUERYENDSESSION() \
    {WM_QUERYENDSESSION, 0, 0, AfxSig_b_v, AFX_HANDLER(BOOL (CWnd::*)(), OnQueryEndSession)},
#define ON_WM_ENDSESSION() {WM_ENDSESSION, 0, 0, AfxSig_v_b, AFX_HANDLER(void (CWnd::*)(BOOL), OnEndSession)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, AfxSig_v_up, AFX_HANDLER(void (CWnd::*)(UINT_PTR), OnTimer)},
#define ON_WM_DEVICECHANGE() \
    {WM_DEVICECHANGE, 0, 0, AfxSig_b_u_up, AFX_HANDLER(BOOL (CWnd::*)(UINT, DWORD_PTR), OnDeviceChange)},

#include "display/switch_panel.h"

#include <cwchar>

#include "display/panel_accessible.h"

namespace {

RECT ToRect(const PanelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

BEGIN_MESSAGE_MAP(CSwitchPanel, CWnd)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_GETOBJECT, OnGetObject)
END_MESSAGE_MAP()

CSwitchPanel::~CSwitchPanel() {
    if (IsWindowValid())
        DestroyWindow();
}

BOOL CSwitchPanel::Create(CWnd* pParent, int dpi, HFONT labelFont) {
    m_dpi = dpi;
    m_labelFont = labelFont;
    m_boxes = PanelBoxes(PanelSnapshot{}, m_dpi);
    if (!CWnd::Create(L"Limit switches", WS_CHILD | WS_VISIBLE | WS_GROUP, ToRect(PanelRectAt(dpi)), pParent, 0))
        return FALSE;
    ::SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE;
}

void CSwitchPanel::Show(bool connected, int invertZ) {
    m_connected = connected;
    m_invertZ = invertZ;
    InvalidateRect(nullptr, FALSE);
    UpdateWindow();
}

RECT CSwitchPanel::OnScreen(const PanelRect& r) const {
    // The panel's own client area starts at the panel's place in the dialog's.
    const PanelRect panel = PanelRectAt(m_dpi);
    POINT corners[2] = {{r.left - panel.left, r.top - panel.top}, {r.right - panel.left, r.bottom - panel.top}};
    ::MapWindowPoints(m_hWnd, nullptr, corners, 2);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void CSwitchPanel::OnPaint() {
    CPaintDC dc(this);
    DrawSwitchPanel(&dc);
}

void CSwitchPanel::DrawSwitchPanel(CDC* pDC) {
    const PanelRect panel = PanelRectAt(m_dpi);
    const int width = panel.right - panel.left, height = panel.bottom - panel.top;
    CDC memDC;
    memDC.CreateCompatibleDC(pDC);
    CBitmap image;  // declared after memDC: destroyed before it
    image.CreateCompatibleBitmap(pDC, width, height);
    const HGDIOBJ previousBitmap = memDC.SelectObject(&image);
    unsigned long long readingLeftMs = 0;
    PanelSnapshot snapshot = {};
    {
        // Held while drawing into memory only, so the worker waits for at
        // most that, and one paint shows one consistent set of flags.
        CSingleLock stateLock(&m_state.m_stateLock, true);
        // Colours only for flags read lately, judged now: nothing is claimed
        // of switches no reply could tell, whatever the worker is held in.
        readingLeftMs = m_connected ? ReadingLeftMsShown(m_state.m_reading, ::GetTickCount64()) : 0;
        snapshot.connected = readingLeftMs > 0;
        for (int i = 0; i < 6; ++i)
            snapshot.flags[i] = m_state.m_switch[i];
        snapshot.invertZ = m_invertZ;
        snapshot.btnFace = ::GetSysColor(COLOR_BTNFACE);
        snapshot.btnText = ::GetSysColor(COLOR_BTNTEXT);

        for (const PanelPrimitive& step : PanelPrimitives(snapshot, m_dpi)) {
            if (step.kind == PanelPrimitive::Background) {
                memDC.FillSolidRect(0, 0, width, height, step.color);
                // From here on the image is drawn in the dialog's client coordinates.
                memDC.SetViewportOrg(-panel.left, -panel.top);
            } else if (step.kind == PanelPrimitive::Label) {
                DrawBoxLabel(&memDC, ToRect(step.rect), step.text);
            } else {
                DrawSwitchBox(&memDC, step);
            }
        }
    }
    memDC.SetViewportOrg(0, 0);
    pDC->BitBlt(0, 0, width, height, &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(previousBitmap);
    // The colours shown are as good as their reading: once it has come of
    // age the panel is painted again.
    if (readingLeftMs > 0)
        SetTimer(kReadingExpiredTimer, static_cast<UINT>(readingLeftMs));

    // A screen reader hears of each box that now shows something else, and
    // of no other: six announcements for one switch would drown it. The
    // boxes say what they show before anyone hears of it.
    const std::vector<PanelBox> before = m_boxes;
    m_boxes = PanelBoxes(snapshot, m_dpi);
    for (size_t i = 0; i < m_boxes.size() && i < before.size(); ++i) {
        if (m_boxes[i].shows != before[i].shows)
            ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, m_hWnd, OBJID_CLIENT, static_cast<LONG>(i + 1));
    }
}

void CSwitchPanel::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kReadingExpiredTimer)
        return;
    KillTimer(kReadingExpiredTimer);
    InvalidateRect(nullptr, FALSE);
    UpdateWindow();
}

LRESULT CSwitchPanel::OnGetObject(WPARAM wParam, LPARAM lParam) {
    if (!AsksForClient(lParam))
        return Default();
    return m_accessibility.Answer(m_accessible, m_hWnd, wParam,
                                  [this](IAccessible* standard) { return new CPanelAccessible(standard, this); });
}

void CSwitchPanel::OnDestroy() { CAccessibility::Forget(m_accessible); }

void CSwitchPanel::DrawSwitchBox(CDC* pDC, const PanelPrimitive& step) {
    RECT box = ToRect(step.rect);
    if (step.kind == PanelPrimitive::Fill) {
        pDC->FillSolidRect(&box, step.color);
    } else if (step.kind == PanelPrimitive::RaisedFrame) {
        // One ring of each is what EDGE_RAISED draws, in one call. A wider
        // frame is drawn as nested one-pixel rings, each in the system's own
        // colours, so it stays crisp at every scale.
        if (step.edge.outer == 1 && step.edge.inner == 1) {
            pDC->DrawEdge(&box, EDGE_RAISED, BF_RECT);
        } else {
            for (int i = 0; i < step.edge.outer; ++i)
                pDC->DrawEdge(&box, BDR_RAISEDOUTER, BF_RECT | BF_ADJUST);
            for (int i = 0; i < step.edge.inner; ++i)
                pDC->DrawEdge(&box, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
        }
    } else if (step.kind == PanelPrimitive::Triangle) {
        POINT points[3];
        for (int i = 0; i < 3; ++i)
            points[i] = {step.vertices[i].x, step.vertices[i].y};
        CBrush brush;
        brush.CreateSolidBrush(step.color);
        CPen pen;  // declared after the brush: destroyed first
        pen.CreatePen(PS_SOLID, 1, step.color);
        const HGDIOBJ previousBrush = pDC->SelectObject(&brush);
        const HGDIOBJ previousPen = pDC->SelectObject(&pen);
        pDC->SetPolyFillMode(WINDING);
        pDC->Polygon(points, 3);
        pDC->SelectObject(previousBrush);
        pDC->SelectObject(previousPen);
    }
}

void CSwitchPanel::DrawBoxLabel(CDC* pDC, const RECT& box, const wchar_t* text) {
    HGDIOBJ previousFont = nullptr;
    if (m_labelFont)
        previousFont = pDC->SelectObject(m_labelFont);
    else if (const HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0)))
        previousFont = pDC->SelectObject(dialogFont);

    const int previousBkMode = pDC->SetBkMode(TRANSPARENT);
    const COLORREF previousColor = pDC->SetTextColor(::GetSysColor(COLOR_BTNTEXT));

    const int length = static_cast<int>(std::wcslen(text));
    TEXTMETRICW metrics = {};
    pDC->GetTextMetrics(&metrics);
    const SIZE extent = pDC->GetTextExtent(text, length);
    const PanelPoint origin = LabelOrigin(PanelRect{box.left, box.top, box.right, box.bottom}, extent.cx,
                                          metrics.tmInternalLeading + metrics.tmAscent);

    const UINT previousAlign = pDC->SetTextAlign(TA_LEFT | TA_TOP | TA_NOUPDATECP);
    pDC->TextOut(origin.x, origin.y, text, length);

    pDC->SetTextAlign(previousAlign);
    pDC->SetTextColor(previousColor);
    pDC->SetBkMode(previousBkMode);
    if (previousFont)
        pDC->SelectObject(previousFont);
}

// Painting of the main dialog: the switch panel composed off screen and
// copied in one BitBlt, and the handlers that repaint it.
#include <cwchar>

#include "app/main_dialog.h"
#include "app/resource.h"
#include "display/panel_model.h"

namespace {

RECT ToRect(const PanelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CKAVRODisplayLimitSwitchesDlg::OnPaint() {
    const BOOL iconic = IsIconic();
    CPaintDC dc(this);
    if (iconic) {
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int cxIcon = ::GetSystemMetrics(SM_CXICON);
        const int cyIcon = ::GetSystemMetrics(SM_CYICON);
        RECT client;
        GetClientRect(&client);
        const int x = (client.right - client.left - cxIcon + 1) / 2;
        const int y = (client.bottom - client.top - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
        return;
    }
    DrawSwitchPanel(&dc);
}

void CKAVRODisplayLimitSwitchesDlg::DrawSwitchPanel(CDC* pDC) {
    const PanelRect panel = PanelRectAt(m_dpi);
    const int width = panel.right - panel.left, height = panel.bottom - panel.top;
    CDC memDC;
    memDC.CreateCompatibleDC(pDC);
    CBitmap image;  // declared after memDC: destroyed before it
    image.CreateCompatibleBitmap(pDC, width, height);
    const HGDIOBJ previousBitmap = memDC.SelectObject(&image);
    unsigned long long readingLeftMs = 0;
    {
        // Held while drawing into memory only, so the worker waits for at
        // most that, and one paint shows one consistent set of flags.
        CSingleLock stateLock(&m_stateLock, true);
        PanelSnapshot snapshot = {};
        // Colours only for flags read lately, judged now: nothing is claimed
        // of switches no reply could tell, whatever the worker is held in.
        readingLeftMs = m_connected == 1 ? ReadingLeftMs(m_reading, ::GetTickCount64()) : 0;
        snapshot.connected = readingLeftMs > 0;
        for (int i = 0; i < 6; ++i)
            snapshot.flags[i] = m_switch[i];
        snapshot.invertZ = m_invertZ;
        snapshot.btnFace = ::GetSysColor(COLOR_BTNFACE);
        snapshot.btnText = ::GetSysColor(COLOR_BTNTEXT);

        for (const PanelPrimitive& step : PanelPrimitives(snapshot, m_dpi)) {
            if (step.kind == PanelPrimitive::Background) {
                memDC.FillSolidRect(0, 0, width, height, step.color);
                // From here on the image is drawn in client coordinates.
                memDC.SetViewportOrg(-panel.left, -panel.top);
            } else if (step.kind == PanelPrimitive::Label) {
                DrawBoxLabel(&memDC, ToRect(step.rect), step.text);
            } else {
                DrawSwitchBox(&memDC, step);
            }
        }
    }
    memDC.SetViewportOrg(0, 0);
    pDC->BitBlt(panel.left, panel.top, width, height, &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(previousBitmap);
    // The colours shown are as good as their reading: once it has come of
    // age the panel is painted again (OnReadingExpired).
    if (readingLeftMs > 0)
        SetTimer(kReadingExpiredTimer, static_cast<UINT>(readingLeftMs));
}

void CKAVRODisplayLimitSwitchesDlg::OnReadingExpired() {
    KillTimer(kReadingExpiredTimer);
    const RECT panel = ToRect(PanelRectAt(m_dpi));
    InvalidateRect(&panel, FALSE);
    UpdateWindow();
}

void CKAVRODisplayLimitSwitchesDlg::DrawSwitchBox(CDC* pDC, const PanelPrimitive& step) {
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

void CKAVRODisplayLimitSwitchesDlg::DrawBoxLabel(CDC* pDC, const RECT& box, const wchar_t* text) {
    HGDIOBJ previousFont = nullptr;
    if (m_labelFont.GetSafeHandle())
        previousFont = pDC->SelectObject(&m_labelFont);
    else if (HFONT dialogFont = GetFont())
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

LRESULT CKAVRODisplayLimitSwitchesDlg::OnPanelRefresh(WPARAM, LPARAM) {
    const RECT panel = ToRect(PanelRectAt(m_dpi));
    InvalidateRect(&panel, FALSE);
    UpdateWindow();
    return 0;
}

void CKAVRODisplayLimitSwitchesDlg::OnInvertZClicked() {
    m_invertZ = IsDlgButtonChecked(IDC_INVERT_Z) == BST_CHECKED ? 1 : 0;
    const RECT panel = ToRect(PanelRectAt(m_dpi));
    InvalidateRect(&panel, FALSE);
    UpdateWindow();
}

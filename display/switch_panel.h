// The switch panel as a control of its own: a child window of the main
// dialog over the panel's place. It paints the six switch boxes and their
// labels (composed off screen, then copied in one go), paints them again
// when their reading comes of age, and answers a screen reader: a grouping
// named "Limit switches" whose six elements are the boxes, each raising one
// event when what it shows changes.
//
// Runs on the user-interface thread. The dialog tells it what to show; the
// switch flags and their reading it reads under their lock at each paint,
// which the poll worker also takes to write them.
#pragma once

#include <vector>

#include "device/switch_state.h"
#include "display/panel_model.h"
#include "framework/afx.h"
#include "framework/afx_accessible.h"

class CSwitchPanel : public CWnd {
public:
    // state: the switch flags, their reading and their lock; they must
    // outlive this object.
    explicit CSwitchPanel(SwitchState state) : m_state(state) {}
    ~CSwitchPanel() override;

    // Creates the window over the panel's place in pParent's client area at
    // dpi, last of its children, no tab stop and a group of its own: the
    // keys never move the focus onto it. labelFont: the labels' font, the caller's (null: the
    // parent's font). False when the window could not be created.
    BOOL Create(CWnd* pParent, int dpi, HFONT labelFont);
    // Shows the switches in their colours while connected, grey otherwise,
    // with E0 in the top Z box when invertZ is non-zero, and paints at once.
    void Show(bool connected, int invertZ);

    // What each box showed at the last paint, in a screen reader's order.
    const std::vector<PanelBox>& Boxes() const { return m_boxes; }
    // A rectangle of the dialog's client area on the screen.
    RECT OnScreen(const PanelRect& r) const;

protected:
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    static constexpr UINT_PTR kReadingExpiredTimer = 1;

    // The panel composed off screen by replaying the panel model's
    // primitives, then copied to pDC in one go; then each box whose showing
    // changed is announced.
    void DrawSwitchPanel(CDC* pDC);
    // One drawing step of a box: its fill, its raised frame or its arrow.
    void DrawSwitchBox(CDC* pDC, const PanelPrimitive& step);
    void DrawBoxLabel(CDC* pDC, const RECT& box, const wchar_t* text);

    SwitchState m_state;
    int m_dpi = kBaseDpi;
    HFONT m_labelFont = nullptr;
    bool m_connected = false;
    int m_invertZ = 0;
    std::vector<PanelBox> m_boxes;
    CAccessibility m_accessibility;
    CAccessibleProxy* m_accessible = nullptr;  // one reference, while the window lives
};

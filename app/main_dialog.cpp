#include "app/main_dialog.h"

#include <vector>

#include "app/about_dialog.h"
#include "app/resource.h"
#include "display/display_scale.h"
#include "display/system_dpi.h"

namespace {

// Pixel figures at 96 DPI; OnInitDialog scales them to the system's DPI,
// as the panel is scaled, while the template's controls grow with the
// dialog font.
// Client-area height, and the width left of the check box's own width w.
constexpr int kClientHeight = 170;
constexpr int kClientWidthBeforeCheckBox = 358;
// The check box sits 2 pixels right of the panel, 12 from the right edge.
constexpr int kCheckBoxLeft = 346;
constexpr int kCheckBoxTop = 83;
constexpr int kCheckBoxHeight = 18;
// Room for the box and the gap before its caption.
constexpr int kCheckBoxMarkWidth = 24;
constexpr int kCheckBoxWidthWithoutControl = 150;

constexpr int kLabelFontPixels = 14;

}  // namespace

BEGIN_MESSAGE_MAP(CKAVRODisplayLimitSwitchesDlg, CDialogEx)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_CBN_SELCHANGE(IDC_PORT_COMBO, OnPortSelChange)
    ON_CBN_EDITCHANGE(IDC_PORT_COMBO, OnPortEditChange)
    ON_CBN_DROPDOWN(IDC_PORT_COMBO, OnPortDropDownOrCloseUp)
    ON_CBN_CLOSEUP(IDC_PORT_COMBO, OnPortDropDownOrCloseUp)
    ON_MESSAGE(WM_PORT_LIST_SETTLED, OnPortListSettled)
    ON_BN_CLICKED(IDC_CONNECT, OnConnectClicked)
    ON_BN_CLICKED(IDC_INVERT_Z, OnInvertZClicked)
    ON_MESSAGE(WM_PANEL_REFRESH, OnPanelRefresh)
    ON_MESSAGE(WM_CONNECTION_LOST, OnConnectionLost)
    ON_WM_DESTROY()
    ON_WM_QUERYENDSESSION()
    ON_WM_ENDSESSION()
    ON_WM_DEVICECHANGE()
    ON_WM_TIMER()
END_MESSAGE_MAP()

CKAVRODisplayLimitSwitchesDlg::CKAVRODisplayLimitSwitchesDlg()
    : CDialogEx(IDD_MAIN_DIALOG, nullptr), m_switch{} {
    CWinApp* app = AfxGetApp();
    m_hIcon = app ? app->LoadIcon(IDI_MAIN) : ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN));
}

CKAVRODisplayLimitSwitchesDlg::~CKAVRODisplayLimitSwitchesDlg() = default;

void CKAVRODisplayLimitSwitchesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PORT_COMBO, m_portCombo);
    DDX_Control(pDX, IDC_CONNECT, m_connectButton);
    DDX_Control(pDX, IDC_SERIAL_NUMBER, m_serialEdit);
}

BOOL CKAVRODisplayLimitSwitchesDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_dpi = SystemDpi(m_hWnd);
    const auto px = [this](int pixelsAt96) { return ScalePixels(pixelsAt96, m_dpi); };

    if (HMENU systemMenu = GetSystemMenu(FALSE)) {
        CString aboutText;
        aboutText.LoadString(IDS_ABOUT_MENU);
        if (!aboutText.IsEmpty()) {
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUT, aboutText);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // The check box is as wide as its caption needs, in its own font.
    const HWND checkBox = GetDlgItem(IDC_INVERT_Z);
    int w = px(kCheckBoxWidthWithoutControl);
    if (checkBox) {
        const int length = ::GetWindowTextLengthW(checkBox);
        std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        ::GetWindowTextW(checkBox, text.data(), static_cast<int>(text.size()));
        CClientDC dc(checkBox);
        const HGDIOBJ previousFont =
            dc.SelectObject(reinterpret_cast<HGDIOBJ>(::SendMessageW(checkBox, WM_GETFONT, 0, 0)));
        const SIZE extent = dc.GetTextExtent(text.data(), length);
        dc.SelectObject(previousFont);
        w = extent.cx + px(kCheckBoxMarkWidth);
    }

    RECT window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    const int outerWidth =
        (window.right - window.left) - (client.right - client.left) + px(kClientWidthBeforeCheckBox) + w;
    const int outerHeight = (window.bottom - window.top) - (client.bottom - client.top) + px(kClientHeight);
    SetWindowPos(nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER);

    if (checkBox) {
        ::MoveWindow(checkBox, px(kCheckBoxLeft), px(kCheckBoxTop), w, px(kCheckBoxHeight), TRUE);
        if (m_toolTip.Create(this, 0)) {
            m_toolTip.AddTool(checkBox, L"Invert Z axis (E0 = top)", nullptr, 0);
            // The list and its field: the pointer is over one or the other.
            // RefreshPortList gives them their text.
            m_toolTip.AddTool(&m_portCombo, L"", nullptr, 0);
            if (const HWND edit = ::GetWindow(m_portCombo.m_hWnd, GW_CHILD))
                m_toolTip.AddTool(edit, L"", nullptr, 0);
            m_toolTip.Activate(TRUE);
        }
    }

    LOGFONTW logFont = {};
    if (HFONT dialogFont = GetFont())
        ::GetObjectW(dialogFont, sizeof(logFont), &logFont);
    logFont.lfHeight = -px(kLabelFontPixels);  // negative: the character height
    logFont.lfWeight = FW_BOLD;
    m_labelFont.CreateFontIndirect(&logFont);

    // The panel: last in the dialog's order, no tab stop and a group of its
    // own, so that neither Tab nor the arrow keys ever move the focus onto
    // it. A screen reader reaches it by its own navigation.
    m_panel.Create(this, m_dpi, m_labelFont);
    m_controlNames.Name(m_portCombo.m_hWnd, L"COM-Port");
    // The field inside the list has the focus when the user tabs to it.
    m_controlNames.Name(::GetWindow(m_portCombo.m_hWnd, GW_CHILD), L"COM-Port");
    m_controlNames.Name(m_serialEdit.m_hWnd, L"Serial number");

    RefreshPortList();
    m_connectButton.SetWindowText(L"Connect");
    return TRUE;
}

void CKAVRODisplayLimitSwitchesDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUT) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    Default();
}

void CKAVRODisplayLimitSwitchesDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kDevicesSettledTimer)
        OnDevicesSettled();
}

void CKAVRODisplayLimitSwitchesDlg::OnPaint() {
    const BOOL iconic = IsIconic();
    CPaintDC dc(this);
    // The switch panel paints itself (m_panel); minimised, the icon shows.
    if (iconic) {
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int cxIcon = ::GetSystemMetrics(SM_CXICON);
        const int cyIcon = ::GetSystemMetrics(SM_CYICON);
        RECT client;
        GetClientRect(&client);
        dc.DrawIcon((client.right - client.left - cxIcon + 1) / 2, (client.bottom - client.top - cyIcon + 1) / 2,
                    m_hIcon);
    }
}

LRESULT CKAVRODisplayLimitSwitchesDlg::OnPanelRefresh(WPARAM, LPARAM) {
    m_panel.Show(m_connected == 1, m_invertZ);
    return 0;
}

void CKAVRODisplayLimitSwitchesDlg::OnInvertZClicked() {
    m_invertZ = IsDlgButtonChecked(IDC_INVERT_Z) == BST_CHECKED ? 1 : 0;
    m_panel.Show(m_connected == 1, m_invertZ);
}

HCURSOR CKAVRODisplayLimitSwitchesDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

BOOL CKAVRODisplayLimitSwitchesDlg::PreTranslateMessage(MSG* pMsg) {
    if (m_toolTip.GetSafeHwnd())
        m_toolTip.RelayEvent(pMsg);
    return CDialogEx::PreTranslateMessage(pMsg);
}

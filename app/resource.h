// Resource and command identifiers (shared by the resource script and the code).
#pragma once

#define IDD_ABOUT 100
#define IDS_ABOUT_MENU 101
#define IDD_MAIN_DIALOG 102
#define IDI_MAIN 128
#define IDM_ABOUT 0x0010

#define IDC_PORT_COMBO 1000
#define IDC_CONNECT 1002
#define IDC_SERIAL_NUMBER 1003
#define IDC_INVERT_Z 1004

#ifndef RC_INVOKED
#include <windows.h>
// Private messages, always posted to the main dialog with wParam and lParam 0.
constexpr UINT WM_PANEL_REFRESH = WM_APP + 1;    // repaint the switch panel
constexpr UINT WM_CONNECTION_LOST = WM_APP + 2;  // the controller stopped answering
// The port list has finished acting on the user's key or click: its field
// shows what it will show.
constexpr UINT WM_PORT_LIST_SETTLED = WM_APP + 3;
#endif

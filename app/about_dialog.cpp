#include "app/about_dialog.h"

#include "app/resource.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUT, nullptr) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialogEx::DoDataExchange(pDX); }

BEGIN_MESSAGE_MAP(CAboutDlg, CDialogEx)
END_MESSAGE_MAP()

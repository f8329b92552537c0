// The application object: runs the main dialog modally and ends with it.
#pragma once

#include "framework/afx.h"

class CKAVRODisplayLimitSwitchesApp : public CWinApp {
public:
    CKAVRODisplayLimitSwitchesApp();
    ~CKAVRODisplayLimitSwitchesApp() override;

    // Runs the main dialog; returns FALSE so that the program ends with it.
    BOOL InitInstance() override;
};

// The framework layer over Win32 that the application is written against.
#pragma once

#include "framework/afx_app.h"
#include "framework/afx_dialog.h"
#include "framework/afx_exception.h"
#include "framework/afx_gdi.h"
#include "framework/afx_string.h"
#include "framework/afx_sync.h"
#include "framework/afx_system_library.h"
#include "framework/afx_thread.h"
#include "framework/afx_wnd.h"

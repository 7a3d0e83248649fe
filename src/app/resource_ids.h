#pragma once
// Resource ids, shared by res/bootstrapper.rc and the shell.
// Plain #defines so the resource compiler reads them too.

#include "product/settings_ids.h"

// Dialog templates and their controls.
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDD_PROGRESS 129
#define IDC_PROGRESS_BAR 130
#define IDC_PROGRESS_TEXT 131

// Icons and the accelerator table.
#define IDI_BOOTSTRAPPER 107
#define IDI_SMALL 108
#define IDC_ACCELERATORS 109

#ifndef RC_INVOKED
// The class named in template 129 and shipped as string 109.
#define SHIPPED_WINDOW_CLASS_NAME L"STOBRINDOWNLOADER"
#endif

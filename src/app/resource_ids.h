#pragma once
// Resource ids, shared by res/bootstrapper.rc, the shell and the stamping tool.
// Plain #defines so the resource compiler reads them too.

// String table: the settings (see AppSettings).
#define IDS_WINDOW_CLASS_NAME 109
#define IDS_LOADER_COMPONENT_CODES 132
#define IDS_INSTALLATION_URL 133
#define IDS_LANGUAGE 134
#define IDS_PRIVILEGES 135
#define IDS_PRODUCT_NAME 136
#define IDS_PRODUCT_CODE 137
#define IDS_COMPANY_NAME 139
#define IDS_HOST_APPLICATION 140
#define IDS_WINDOW_TITLE 141
#define IDS_VERSION 142
#define IDS_SHOW_PROGRESS_WINDOW 143

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

#pragma once
// The string-table ids of the settings (see AppSettings), shared by the
// program's resources, its settings loader and the publishing tools.
// Plain #defines so the resource compiler reads them too.

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
#define IDS_RELEASE_DIGEST 144
#define IDS_DOWNLOAD_RETRIES 145
#define IDS_COPYRIGHT 146

// Resource identifiers of the "Point" property page, shared by HN_Quillon_PD.rc and the page.
#pragma once

#define IDD_POINT_PAGE 200
#define IDC_POINT_NTF 201
#define IDC_POINT_LIST 202
#define IDC_POINT_HINT 203
#define IDC_POINT_POLLTIME 204
#define IDC_POINT_FORMAT 205
#define IDC_POINT_SAMPLES 206
#define IDC_POINT_PREVIEW 207

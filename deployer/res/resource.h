// Resource and control identifiers of the deployer.
#pragma once

#define IDS_OLE_INIT_FAILED 100
// The name the elevation prompt shows for the automation server.
#define IDS_ELEVATION_NAME 101
#define IDD_ADDONDEPLOY_DIALOG 102
#define IDR_MAINFRAME 128

// Check boxes of the host editions, and the Cancel button among them.
#define IDC_CD9 1001
#define IDC_CD10 1002
#define IDC_CD11 1003
#define IDC_CD12 1004
#define IDC_CDX3 1005
#define IDC_CDX4 1006
#define IDC_CDX5 1007
#define IDC_CDX6 1008
#define IDC_CANCEL_BTN 1009
#define IDC_CDX6_64 1010
#define IDC_CDX7 1011
#define IDC_CDX7_64 1012

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

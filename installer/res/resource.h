// Resource and control identifiers of the installer.
#pragma once

#define IDD_PLOTINST_DIALOG 102
#define IDR_PLOTINST 103
#define IDR_MAINFRAME 128
// Not 1 to 16, the IDs the loader reads by itself.
#define IDR_CONTROLS_MANIFEST 104

// Animation frames: installation, removal, and the blank final frame.
#define IDB_INSTALL_1 146
#define IDB_INSTALL_2 147
#define IDB_INSTALL_3 148
#define IDB_REMOVE_1 149
#define IDB_REMOVE_2 150
#define IDB_REMOVE_3 151
#define IDB_BLANK 152

#define IDC_INSTALL 1000
#define IDC_DELETE 1001
#define IDC_MODEL 1005
#define IDC_PORT 1006
#define IDC_CONFIG 1007
#define IDC_TITLE 1008

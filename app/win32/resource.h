#pragma once

// Resource ids of qarv-vindle.exe: shared by the resource script and the code (plain #defines,
// as the resource compiler reads this file too).

// Dialog templates, menus, icon.
#define IDD_QARV_VINDLE_DIALOG 102
#define IDR_MAIN_MENU 130
#define IDD_ABOUTBOX 131
#define IDD_CONSET_DIALOG 132
#define IDI_QARV_VINDLE 139
#define IDR_ROW_MENU 140

// Main window.
#define IDC_BROWSE 1000
#define IDC_DEVICE_LIST 1002
#define IDC_TITLE 1017
#define IDC_RETRIEVE 1018
#define IDC_STATUS_LINE 1100
#define IDC_STOP 1101

// Configuration Settings dialog.
#define IDC_IP_GROUP 1003
#define IDC_TIMEOUT_GROUP 1004
#define IDC_SEARCH_SPECIFIED 1007
#define IDC_ADD 1008
#define IDC_DELETE 1009
#define IDC_TIMEOUT 1010
#define IDC_ADDRESS_LIST 1011
#define IDC_ADDRESS_LABEL 1012
#define IDC_MASK_LABEL 1013
#define IDC_ADDRESS 1014
#define IDC_MASK 1015
// Added below the template's controls.
#define IDC_THOROUGH_SEARCH 1120

// Menu commands: the menu bar, then the device list's context menu.
#define ID_TOOL_CONFIGURATION 32772
#define ID_HELP_ABOUT 32773
#define ID_TOOL_SAVE_LIST_AS 32774
#define ID_ROW_OPEN_WEB_PAGE 32780
#define ID_ROW_COPY 32781
#define ID_ROW_COPY_IP_ADDRESS 32782
#define ID_ROW_COPY_MAC_ADDRESS 32783

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

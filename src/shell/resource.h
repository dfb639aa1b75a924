#pragma once
// Resource and control ids of the main window and its "Main" page, and, for
// the resource script and the tests, of every other page. Each tab page owns
// a block of 100 ids.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDI_APP 1

#define IDD_MAIN 100
#define IDD_PAGE_MAIN 101

// Main window, outside the tabs.
#define IDC_TABMAIN 1001
#define IDC_LBLUSER 1002
#define IDC_LBLOS 1003
#define IDC_LBLSTATUS 1004

// "Main" tab.
#define IDC_RTFMESSAGE 1101
#define IDC_CMDBASICCLEAN 1102
#define IDC_CMDCLEANREBOT 1103
#define IDC_CMDHELP 1104
#define IDC_CMDCLOSE 1105
#define IDC_CMDUPGRADE 1106
#define IDC_LBLWEBSITE 1107
#define IDC_LABEL11 1108
#define IDC_BANNER_MAIN 1109
#define IDC_PICTURE 1110
#define IDC_CMDPREVIEW 1111
#define IDC_CMDDETAILS 1112
#define IDC_RTFMESSAGE_SPACE 1113

// The other pages, the About window and the tray menu have their ids with
// their subsystems.
#include "shell/page_ids.h"
#include "tray/tray_ids.h"

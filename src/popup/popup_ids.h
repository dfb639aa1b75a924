#pragma once
// Template and control ids of the "Popup Killer" page (a block of 100 ids).
#define IDD_PAGE_POPUP 105

// "Popup Killer" page.
#define IDC_FRAME1 1500
#define IDC_CHKPOPUPKILLERACTIVATE 1501
#define IDC_VINDOWS 1502
#define IDC_BANNER_POPUP 1503

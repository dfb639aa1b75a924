#pragma once
// Template and control ids of the "Schedule" page (a block of 100 ids).
#define IDD_PAGE_SCHEDULE 103

// "Schedule" page.
#define IDC_FMSCHEDULE 1300
#define IDC_CMBDAYS 1301
#define IDC_DTPSCHEDULEDATE 1302
#define IDC_DTPSCHEDULETIME 1303
#define IDC_TXTHOURS 1304
#define IDC_UDNHOURS 1305
#define IDC_LBLLASTRUNTIME 1306
#define IDC_CMDAPPLY 1307
#define IDC_CMDCANCEL 1308
#define IDC_CMDDEFAULTSCHEDULE 1309

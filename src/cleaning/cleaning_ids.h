#pragma once
// Templates and control ids of the cleaning pages. Each page owns a block of
// 100 ids; a control array takes consecutive ids, element i at the first + i.
#define IDD_PAGE_OPTIONS 102
#define IDD_PAGE_ADVANCED 104
#define IDD_PREVIEW_DETAILS 108

// "Options & Settings" page.
#define IDC_CHKSETTINGS_0 1200
#define IDC_CHKSETTINGS_1 1201
#define IDC_CHKSETTINGS_2 1202
#define IDC_CHKSETTINGS_3 1203
#define IDC_CHKSETTINGS_4 1204
#define IDC_CHKSETTINGS_5 1205
#define IDC_CHKSETTINGS_6 1206
#define IDC_CHKSETTINGS_7 1207
#define IDC_CHKSETTINGS_8 1208
#define IDC_CHKSETTINGS_9 1209
#define IDC_CHKSETTINGS_10 1210
#define IDC_CHKSETTINGS_11 1211
#define IDC_CHKSETTINGS_12 1212
#define IDC_CHKSETTINGS_13 1213
#define IDC_CHKSETTINGS_14 1214
#define IDC_CHKSETTINGS_15 1215
#define IDC_TABOPTIONS 1216
#define IDC_FMSETTINGS 1220
#define IDC_TXTHOMEPAGEURL 1221
#define IDC_CMDHOMEPAGE 1222
#define IDC_CHKWEBADDRESS 1223
#define IDC_CMDDEFAULTSETTINGS 1224
// "Browsers" sub-tab: a box per browser and item at IDC_BROWSERBOX_0 +
// browser * 4 + item (Cache, Cookies, History, Session), a name per browser.
#define IDC_BROWSERBOX_0 1230
#define IDC_BROWSERNAME_0 1250
#define IDC_LBLKEEPCOOKIES 1255
#define IDC_TXTKEEPCOOKIES 1256

// "Advanced" page.
#define IDC_FMADVANCE 1400
#define IDC_CMDBROWSEFILE 1401
#define IDC_CMDBROWSEFOLDERTODELETE 1402

// The preview's details window.
#define IDC_LSTPREVIEW 1800
#define IDC_CMDCOPYPREVIEW 1801

#ifndef RC_INVOKED
// Option check boxes on each sub-tab of the options page, top to bottom.
// Option 0 sits above the sub-tabs. The "Internet" sub-tab also shows the
// auto-complete box IDC_CHKWEBADDRESS, between options 9 and 14; it is not an
// option, so it is not listed here.
inline constexpr int kWindowsOptionIndexes[] = {1, 5, 10, 11, 4, 12, 13};
inline constexpr int kInternetOptionIndexes[] = {2, 3, 6, 7, 8, 9, 14, 15};
#endif

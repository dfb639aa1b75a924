#pragma once
// Control ids of the tab pages after "Main" and of the About window. Each
// page owns a block of 100 ids. Control arrays take consecutive ids, so that
// element i is the first id + i.

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

// "Advanced" page.
#define IDC_FMADVANCE 1400
#define IDC_CMDBROWSEFILE 1401
#define IDC_CMDBROWSEFOLDERTODELETE 1402

// "Popup Killer" page.
#define IDC_FRAME1 1500
#define IDC_CHKPOPUPKILLERACTIVATE 1501
#define IDC_VINDOWS 1502
#define IDC_BANNER_POPUP 1503

// "File Security" page. Index 0 of each pair is the source, 1 the destination.
#define IDC_FMCOFFERLY 1600
#define IDC_LBLENCRYPT 1601
#define IDC_LBLDECRYPT 1602
#define IDC_LBLFILEORFOLDER 1603
#define IDC_LBLSOURCEDESTINATION_0 1604
#define IDC_LBLSOURCEDESTINATION_1 1605
#define IDC_TXTSOURCE 1606
#define IDC_TXTDESTINATION 1607
#define IDC_CMDBROWSEFILEFOLDER_0 1608
#define IDC_CMDBROWSEFILEFOLDER_1 1609
#define IDC_TXTPASSWORD 1610
#define IDC_TXTREENTER 1611
#define IDC_CMDENCRYPT 1612
#define IDC_CMDDECRYPT 1613
#define IDC_PGB 1614
#define IDC_BANNER_FILESECURITY 1615

// About window.
#define IDC_LABEL1 1700
#define IDC_LINE1 1701
#define IDC_LBLCOPYRIGHT 1702
#define IDC_CMDOK 1703

#ifndef RC_INVOKED
// Option check boxes on each sub-tab of the options page, top to bottom.
// Option 0 sits above the sub-tabs. The "Internet" sub-tab also shows the
// auto-complete box IDC_CHKWEBADDRESS, between options 9 and 14; it is not an
// option, so it is not listed here.
inline constexpr int kWindowsOptionIndexes[] = {1, 5, 10, 11, 4, 12, 13};
inline constexpr int kInternetOptionIndexes[] = {2, 3, 6, 7, 8, 9, 14, 15};
#endif

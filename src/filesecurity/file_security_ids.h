#pragma once
// Template and control ids of the "File Security" page (a block of 100 ids).
#define IDD_PAGE_FILESECURITY 106
// The icon of encrypted files in the shell (the .cfy type's DefaultIcon).
#define IDI_ENCRYPTED_FILE 2

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

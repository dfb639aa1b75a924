#pragma once
// Template and control ids of the About window.
#define IDD_ABOUT 107

// About window.
#define IDC_LABEL1 1700
#define IDC_LINE1 1701
#define IDC_LBLCOPYRIGHT 1702
#define IDC_CMDOK 1703

#pragma once
// The notification-area icon's menu.
#define IDR_TRAYMENU 200
#define ID_MNUSHOW 2001
#define ID_MNUPOUPKILLER 2002
#define ID_MNUABOUT 2003
#define ID_MNUUNLOADPELLIVER 2004

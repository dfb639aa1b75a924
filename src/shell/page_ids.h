#pragma once
// The ids of the tab pages after "Main" and of the About window, each kept
// with its subsystem.
#include "cleaning/cleaning_ids.h"
#include "filesecurity/file_security_ids.h"
#include "info/about_ids.h"
#include "popup/popup_ids.h"
#include "schedule/schedule_ids.h"

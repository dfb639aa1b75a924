#pragma once
#include <windows.h>

#include <functional>

namespace tidewell::win32 {

// Modeless dialogs get their keyboard navigation from IsDialogMessage; a
// window may also look at keys first (tab switching with Ctrl+Tab, say).
using PreTranslate = std::function<bool(MSG&)>;
void registerModeless(HWND dialog, PreTranslate pre = {});
void unregisterModeless(HWND dialog);

// Routes one message to the modeless dialogs; true when it was consumed.
bool routeModelessMessage(MSG& msg);

// Serves every message already queued, then returns: long work on the UI
// thread calls this between items so that timers, clicks and repaints go on.
// A WM_QUIT met here is posted again for the main loop. Returns false then.
bool pumpPendingMessages();

// The main loop; returns the exit code of WM_QUIT.
int runMessageLoop();

} // namespace tidewell::win32

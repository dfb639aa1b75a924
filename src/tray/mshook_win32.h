#pragma once
#include <windows.h>

#include "tray/hook_protocol.h"

namespace tidewell::MSHook {

// The hook library's signal to the main window.
using tidewell::kSignalKey;

// True when the desktop counts as shown; each signal flips it.
bool desktopShown() noexcept;
bool hooked() noexcept;

// Loads MSHook.dll by absolute path only (the system folder, then the
// program's own folder), installs the keyboard hook and subclasses the main
// window. Every step is silent on failure: no hotkey, no message.
void InitKeyboardHook(HWND mainWindow);
void Hook();
void Unhook();
// Releases the hook; windows still hidden by Alt+Shift are shown again, so
// that ending the program never leaves them invisible.
void ReleaseKeyboardHook();
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

} // namespace tidewell::MSHook

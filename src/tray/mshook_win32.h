#pragma once
#include <windows.h>

namespace tidewell::MSHook {

// The hook library's signal: a key-down with a key code no real key has.
inline constexpr WPARAM kSignalKey = 99999;

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

#pragma once
// What MSHook.dll and the program agree on: the class of the main window the
// library finds, and the signal it posts there. Readable by the resource
// compiler too, which names the class in the main window's template.
#define TIDEWELL_MAIN_WINDOW_CLASS "TidewellMain"

#ifndef RC_INVOKED
#include <cstdint>

namespace tidewell {

inline constexpr wchar_t kMainWindowClass[] = L"" TIDEWELL_MAIN_WINDOW_CLASS;
// A key-down with a key code no real key has.
inline constexpr std::uintptr_t kSignalKey = 99999;

} // namespace tidewell
#endif

#pragma once
// How tests drive the fake shell-window collection: messages to a hidden
// window that the fake creates in the process that loaded it.
#include <windows.h>

namespace fakeshell {

inline constexpr wchar_t kControlClass[] = L"TidewellFakeShellControl";
inline constexpr wchar_t kDllName[] = L"fake_shellwindows.dll";

// Flags of kOpen.
inline constexpr LPARAM kNoDocument = 2; // get_Document gives nothing
inline constexpr LPARAM kQuiet = 4;      // no WindowRegistered (the bench's)

enum Message : UINT {
    kOpen = WM_APP + 1, // wParam window handle value, lParam flags -> browser id
    kClose,             // wParam id; fires WindowRevoked -> 1 if it was open
    kKill,              // wParam id; its calls fail with RPC_E_DISCONNECTED from now on
    kNewWindow2,        // wParam id -> Cancel (1/0), -1 with no sink connected
    kConnections,       // wParam id -> browser sinks + 100 * document sinks
    kReset,             // closes every window without events
};

} // namespace fakeshell

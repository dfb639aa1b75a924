#pragma once
#include <windows.h>

namespace tidewell::win32 {

// The scrolling banner, window class "TidewellBanner". Its text is the window
// text; BannerSetSpeed gives the step interval in milliseconds. Each time the
// banner is shown or given a new text, the text glides in from the right and
// comes to rest centred; then the banner stops its timer, so an idle window
// costs no processor time.
inline constexpr wchar_t kBannerClass[] = L"TidewellBanner";
inline constexpr UINT BannerSetSpeed = WM_USER + 1;

void registerBannerClass(HINSTANCE instance);
void setBannerSpeed(HWND banner, int milliseconds);

} // namespace tidewell::win32

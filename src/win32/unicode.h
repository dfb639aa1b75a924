#pragma once
#include <string>
#include <string_view>

namespace tidewell::win32 {

// The one pair of conversions between the core's UTF-8 and the W functions'
// UTF-16. Invalid sequences become U+FFFD rather than failing.
std::wstring toUtf16(std::string_view utf8);
std::string toUtf8(std::wstring_view utf16);

} // namespace tidewell::win32

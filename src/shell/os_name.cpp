#include "shell/os_name.h"

namespace tidewell {

namespace {
constexpr std::uint32_t kPlatformWin9x = 1;
constexpr std::uint32_t kPlatformNt = 2;
constexpr std::uint32_t kFirstWindows11Build = 22000;

std::string ntName(const OsVersion& v) {
    switch (v.major) {
    case 3:
        return "Windows NT 3.51";
    case 4:
        return "Windows NT 4.0";
    case 5:
        return v.minor == 0 ? "Windows 2000" : "Windows XP";
    case 6:
        switch (v.minor) {
        case 0:
            return "Windows Vista";
        case 1:
            return "Windows 7";
        case 2:
            return "Windows 8";
        case 3:
            return "Windows 8.1";
        default:
            return "";
        }
    case 10:
        if (v.minor != 0) {
            return "";
        }
        return v.build >= kFirstWindows11Build ? "Windows 11" : "Windows 10";
    default:
        return "";
    }
}
} // namespace

std::string osNameFor(const OsVersion& v) {
    if (!v.ok) {
        return "Failed";
    }
    if (v.platform == kPlatformWin9x) {
        if (v.minor == 0) {
            return "Windows 95";
        }
        if (v.minor == 10) {
            return "Windows 98";
        }
        return "";
    }
    if (v.platform == kPlatformNt) {
        return ntName(v);
    }
    return "Failed";
}

} // namespace tidewell

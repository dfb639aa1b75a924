#pragma once
#include <string>

#include "shell/os_name.h"

namespace tidewell {

// The real version of the running system (RtlGetVersion: not subject to the
// compatibility shims that make GetVersionEx report an older system).
OsVersion queryOsVersion() noexcept;

// Module OS: the name shown in lblOS.
std::string GetOSName();

} // namespace tidewell

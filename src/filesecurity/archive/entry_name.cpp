// Entry names: what an archive may ask to be written, and what is refused
// before anything reaches the disk.
#include <cctype>
#include <cstring>

#include "filesecurity/archive/archive.h"
#include "filesecurity/archive/archive_format.h"
#include "kernel/app_error.h"

namespace tidewell::archive {

namespace detail {

namespace {

bool deviceName(std::string part) {
    // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension.
    part = part.substr(0, part.find('.'));
    while (!part.empty() && part.back() == ' ')
        part.pop_back();
    for (char& c : part)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (part == "CON" || part == "PRN" || part == "AUX" || part == "NUL" || part == "CONIN$" ||
        part == "CONOUT$") {
        return true;
    }
    return part.size() == 4 && (part.rfind("COM", 0) == 0 || part.rfind("LPT", 0) == 0) &&
           part[3] >= '0' && part[3] <= '9';
}

} // namespace

void refuse(const std::string& name, const std::string& why) {
    throw AppError(kArchiveErrorNumber,
                   "The archive entry \"" + name + "\" was refused: " + why +
                       ". Nothing was written outside the destination folder.");
}


} // namespace detail

using detail::deviceName;
using detail::refuse;

std::vector<std::string> safeEntryPath(const std::string& name) {
    if (name.empty())
        refuse(name, "it has no name");
    if (name.find('\0') != std::string::npos)
        refuse(name, "its name holds a NUL character");
    if (name[0] == '/' || name[0] == '\\')
        refuse(name, "it is an absolute path");
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part.empty() || part == ".") {
            part.clear();
            return;
        }
        if (part == "..")
            refuse(name, "it leads out of the folder");
        if (part.find(':') != std::string::npos)
            refuse(name, "drive letters and stream names are not allowed");
        for (char c : part) {
            if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>\"|?*", c) != nullptr) {
                refuse(name, "its name holds characters Windows does not allow");
            }
        }
        if (part.back() == '.' || part.back() == ' ')
            refuse(name, "a name part ends in a dot or blank");
        if (deviceName(part))
            refuse(name, "it names a device");
        parts.push_back(part);
        part.clear();
    };
    for (char c : name) {
        if (c == '/' || c == '\\') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    if (parts.empty())
        refuse(name, "it has no name");
    return parts;
}

} // namespace tidewell::archive

#include "info/web_page.h"

#include <cctype>

namespace tidewell {

std::string probeFilePath(const std::string& tempFolder, const std::string& extension) {
    return tempFolder + "temphtm." + extension;
}

namespace {
std::string trimBlanks(const std::string& s) {
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    std::size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}
} // namespace

std::string programFromAssociation(const std::string& found) {
    const std::string trimmed = trimBlanks(found);
    std::string upper;
    for (char c : trimmed) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::size_t exe = upper.find(".EXE");
    if (exe == std::string::npos) {
        return trimmed;
    }
    return trimBlanks(trimmed.substr(0, exe + 4));
}

std::string quotedAddressArgument(const std::string& address) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : address) {
        if (c == '\\') {
            ++backslashes;
            out += c;
            continue;
        }
        if (c == '"') {
            out += "%22";
        } else {
            out += c;
        }
        backslashes = 0;
    }
    // Backslashes right before the closing quote would escape it.
    out.append(backslashes, '\\');
    out += '"';
    return out;
}

std::string aboutCaption(const std::string& productName, unsigned major, unsigned minor) {
    return "About " + productName + " v" + std::to_string(major) + "." + std::to_string(minor);
}

std::string aboutNotice(const std::string& legalCopyright, const std::string& companyName) {
    return "This program erases the traces that browsing and everyday use leave on your "
           "computer, refuses unwanted pop-up windows, protects your files with strong "
           "password encryption, shreds files beyond recovery and hides your desktop "
           "applications at a key press.\r\n\r\nAll rights reserved. " +
           legalCopyright + " " + companyName;
}

} // namespace tidewell

#include "kernel/settings_store.h"

#include "kernel/app_error.h"

namespace tidewell {

std::vector<std::string> keyPathComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (!current.empty()) {
                parts.push_back(std::move(current));
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        parts.push_back(std::move(current));
    }
    return parts;
}

std::string settingsKeyPath(const std::string& application, const std::string& section) {
    auto app = keyPathComponents(application);
    auto sec = keyPathComponents(section);
    if (app.empty() || sec.empty()) {
        throw AppError(errors::InvalidArgument, "Invalid procedure call or argument");
    }
    std::string path = "Software\\VB and VBA Program Settings";
    for (const auto& part : app) {
        path += '\\';
        path += part;
    }
    for (const auto& part : sec) {
        path += '\\';
        path += part;
    }
    return path;
}

} // namespace tidewell

#include "filesecurity/file_type.h"

#include <utility>

#include "filesecurity/file_security_ids.h"

namespace tidewell::filesecurity {

namespace {
constexpr const char* kMachineClassKey = "SOFTWARE\\Classes\\cfy_auto_file";
constexpr const char* kMachineCommandKey = "SOFTWARE\\Classes\\cfy_auto_file\\shell\\open\\command";
} // namespace

std::string openCommand(const std::string& programPath) {
    return "\"" + programPath + "\" \"%1\"";
}

void RegisterFileType(Registry& registry, KeyCreator& keys, const std::string& programPath) {
    // The registry port writes existing keys only, so create them first.
    keys.createKey(RegistryRoot::LocalMachine, kMachineCommandKey);
    keys.createKey(RegistryRoot::ClassesRoot, ".cfy\\shell\\open\\command");
    const std::string command = openCommand(programPath);
    registry.SetRegistryValue(RegistryRoot::ClassesRoot, ".CFY", "", kFileTypeClass,
                              RegistryType::String);
    registry.SetRegistryValue(RegistryRoot::ClassesRoot, ".CFY\\shell\\open\\command", "", command,
                              RegistryType::String);
    registry.SetRegistryValue(RegistryRoot::LocalMachine, kMachineClassKey, "", kFileTypeName,
                              RegistryType::String);
    registry.SetRegistryValue(RegistryRoot::LocalMachine, kMachineCommandKey, "", command,
                              RegistryType::String);
}

bool ensureFileType(Registry& registry, KeyCreator& keys, const std::string& programPath) {
    if (registry.GetMachineValue(kMachineClassKey, "") == kFileTypeName)
        return false;
    RegisterFileType(registry, keys, programPath);
    return true;
}

std::string encryptedFileIcon(const std::string& programPath) {
    return "\"" + programPath + "\",-" + std::to_string(IDI_ENCRYPTED_FILE);
}

bool ensureUserFileType(Registry& registry, KeyCreator& keys, const std::string& programPath) {
    if (registry.GetMachineValue(kMachineClassKey, "") == kFileTypeName)
        return false;
    const std::string type = std::string("Software\\Classes\\") + kFileTypeClass;
    const std::pair<std::string, std::string> entries[] = {
        {"Software\\Classes\\.cfy", kFileTypeClass},
        {type, kFileTypeName},
        {type + "\\shell\\open\\command", openCommand(programPath)},
        {type + "\\DefaultIcon", encryptedFileIcon(programPath)},
    };
    bool wrote = false;
    for (const auto& [key, value] : entries) {
        if (registry.GetUserValue(key, "") == value)
            continue;
        keys.createKey(RegistryRoot::CurrentUser, key);
        registry.SetUserValue(key, "", value, RegistryType::String);
        wrote = true;
    }
    return wrote;
}

} // namespace tidewell::filesecurity

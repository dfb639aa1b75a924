#pragma once
// The .cfy file type: its shell registration and the check at every start.
#include <string>

#include "kernel/registry.h"

namespace tidewell::filesecurity {

inline constexpr const char* kFileTypeName = "Cofferly File";
inline constexpr const char* kFileTypeClass = "cfy_auto_file";

// "<program path>" "%1": quoted, so that a folder with blanks works.
std::string openCommand(const std::string& programPath);

void RegisterFileType(Registry& registry, KeyCreator& keys, const std::string& programPath);

// Registers the type unless the machine-wide name already reads back right.
// Returns whether it wrote anything.
bool ensureFileType(Registry& registry, KeyCreator& keys, const std::string& programPath);

// "<program path>",-<id>: the program's own icon for encrypted files.
std::string encryptedFileIcon(const std::string& programPath);

// A standard user may not write the machine-wide entries: while the
// machine-wide name does not read back right, the type is registered under
// HKEY_CURRENT_USER\Software\Classes (the extension, the type name, the open
// command and the icon), each value only where it differs. Returns whether
// it wrote anything, so that the shell is told only then.
bool ensureUserFileType(Registry& registry, KeyCreator& keys, const std::string& programPath);

} // namespace tidewell::filesecurity

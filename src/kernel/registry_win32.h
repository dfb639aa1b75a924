#pragma once
#include <windows.h>

#include <string>

#include "kernel/registry.h"

namespace tidewell::win32 {

// Writes a value into an open key: REG_SZ as UTF-16 with its terminator,
// REG_DWORD as a signed 32-bit number (a text that is no number throws
// AppError 13). Any other type writes nothing and returns 0.
LONG WriteValueData(HKEY key, const std::string& valueName, RegistryType type,
                    const std::string& value);

// Reads a value of an open key as text. Asks for type and size first and on
// failure returns that code with `value` untouched. REG_SZ: the text without
// its terminator (empty if the second read fails); REG_DWORD: the number in
// decimal. Any other type: -1.
LONG QueryValueEx(HKEY key, const std::string& valueName, std::string& value);

HKEY rootKey(RegistryRoot root) noexcept;

// Creates a key with its missing parents; failures stay silent, as every
// registry write of the program does.
class WinKeyCreator : public KeyCreator {
public:
    void createKey(RegistryRoot root, const std::string& path) override;
};

class WinRegistry : public Registry {
public:
    void SetRegistryValue(RegistryRoot root, const std::string& keyPath,
                          const std::string& valueName, const std::string& value,
                          RegistryType type) override;
    std::string GetMachineValue(const std::string& keyPath, const std::string& valueName) override;
    std::string GetUserValue(const std::string& keyPath, const std::string& valueName) override;
};

} // namespace tidewell::win32

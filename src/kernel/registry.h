#pragma once
#include <cstdint>
#include <string>

namespace tidewell {

// Roots by their classic numbers.
enum class RegistryRoot : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
};

enum class RegistryType : std::uint32_t { String = 1, DWord = 4 };

// Values of existing registry keys: the browser and shell settings the program
// changes, and the encrypted-file type entry it reads. Failures are silent:
// keys are never created here, and a missing key or value reads as empty.
class Registry {
public:
    virtual ~Registry() = default;
    // Writes into an existing key only. For DWord the text must be a number,
    // otherwise AppError 13 is thrown (the program's common message).
    virtual void SetRegistryValue(RegistryRoot root, const std::string& keyPath,
                                  const std::string& valueName, const std::string& value,
                                  RegistryType type) = 0;
    void SetUserValue(const std::string& keyPath, const std::string& valueName,
                      const std::string& value, RegistryType type) {
        SetRegistryValue(RegistryRoot::CurrentUser, keyPath, valueName, value, type);
    }
    // HKEY_LOCAL_MACHINE value as text; a DWord comes back in decimal.
    virtual std::string GetMachineValue(const std::string& keyPath,
                                        const std::string& valueName) = 0;
    // The same of HKEY_CURRENT_USER.
    virtual std::string GetUserValue(const std::string& keyPath, const std::string& valueName) = 0;
};

// Creating keys, which the registry port deliberately cannot do.
class KeyCreator {
public:
    virtual ~KeyCreator() = default;
    // Creates the key with any missing parents; failures are silent.
    virtual void createKey(RegistryRoot root, const std::string& path) = 0;
};

} // namespace tidewell

#pragma once
#include <string>

#include "kernel/settings_store.h"

namespace tidewell::win32 {

// The settings store in the current user's registry, where the classic
// runtime kept it: HKCU\Software\VB and VBA Program Settings\<app>\<section>,
// one REG_SZ value per key.
class RegistrySettingsStore : public SettingsStore {
public:
    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;
};

} // namespace tidewell::win32

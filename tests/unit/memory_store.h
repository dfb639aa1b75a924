#pragma once
// A settings store in memory for tests: every entry under "app|section|key".
#include <map>
#include <string>
#include <vector>

#include "kernel/settings_store.h"

namespace tidewell::testing_store {

class MemoryStore : public SettingsStore {
public:
    std::map<std::string, std::string> values;
    std::vector<std::string> written; // "key=value", in order

    static std::string address(const std::string& app, const std::string& section,
                               const std::string& key) {
        return app + "|" + section + "|" + key;
    }
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& def) override {
        auto it = values.find(address(app, section, key));
        return it == values.end() ? def : it->second;
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        values[address(app, section, key)] = value;
        written.push_back(key + "=" + value);
    }
    // An entry of the program's own application name, or "<absent>".
    std::string stored(const std::string& section, const std::string& key) const {
        auto it = values.find(address(kAppTitle, section, key));
        return it == values.end() ? "<absent>" : it->second;
    }
    std::string& entry(const std::string& section, const std::string& key) {
        return values[address(kAppTitle, section, key)];
    }
};

} // namespace tidewell::testing_store

// The per-user .cfy registration on the real (Wine) registry, for a user the
// machine-wide keys refuse: what is written reads back, so the next start
// writes nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "filesecurity/file_type.h"
#include "kernel/registry_win32.h"
#include "win32/unicode.h"

using namespace tidewell;

namespace {

// The real registry for HKEY_CURRENT_USER; the machine-wide roots refuse
// writes and hold no type, as for a standard user without one installed.
class StandardUser : public win32::WinRegistry, public win32::WinKeyCreator {
public:
    int writes = 0;
    void SetRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                          const std::string& value, RegistryType type) override {
        if (root == RegistryRoot::CurrentUser) {
            ++writes;
            WinRegistry::SetRegistryValue(root, key, name, value, type);
        }
    }
    void createKey(RegistryRoot root, const std::string& path) override {
        if (root == RegistryRoot::CurrentUser)
            WinKeyCreator::createKey(root, path);
    }
    std::string GetMachineValue(const std::string&, const std::string&) override { return {}; }
};

std::string userDefault(const wchar_t* key) {
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof(buffer) - 2;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, nullptr, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS)
        return "<absent>";
    return win32::toUtf8(buffer);
}

TEST(FileTypeForUserRegistry, WrittenUnderTheUsersClassesAndReadBackUnchanged) {
    const wchar_t* keys[] = {L"Software\\Classes\\.cfy", L"Software\\Classes\\cfy_auto_file"};
    for (const wchar_t* key : keys)
        ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
    StandardUser reg;
    const std::string program = "C:\\Users\\\xc3\x85se\\Programs\\Tidewell\\Varnholt.Exe";
    EXPECT_TRUE(filesecurity::ensureUserFileType(reg, reg, program));
    EXPECT_EQ(userDefault(L"Software\\Classes\\.cfy"), "cfy_auto_file");
    EXPECT_EQ(userDefault(L"Software\\Classes\\cfy_auto_file\\shell\\open\\command"),
              "\"" + program + "\" \"%1\"");
    EXPECT_EQ(userDefault(L"Software\\Classes\\cfy_auto_file\\DefaultIcon"),
              filesecurity::encryptedFileIcon(program));
    const int writes = reg.writes;
    EXPECT_FALSE(filesecurity::ensureUserFileType(reg, reg, program));
    EXPECT_EQ(reg.writes, writes);
    for (const wchar_t* key : keys)
        ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

} // namespace

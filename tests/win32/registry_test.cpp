// The settings store and the registry adapters on the real (Wine) registry:
// value types and sizes, text outside ASCII through the W functions, and
// values written by other programs. Key naming is the unit tests'; writes to
// each root and the reads the program does at start are the e2e tests'.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "kernel/app_error.h"
#include "kernel/registry_win32.h"
#include "kernel/settings_store_win32.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

using namespace tidewell;
using namespace tidewell::win32;

namespace {

const std::wstring kVbRoot = L"Software\\VB and VBA Program Settings";
const std::string kTestKey = "Software\\TidewellTests";

void deleteTree(HKEY root, const std::wstring& path) {
    ::RegDeleteTreeW(root, path.c_str());
}

UniqueKey createKey(HKEY root, const std::string& path) {
    UniqueKey key;
    EXPECT_EQ(::RegCreateKeyExW(root, toUtf16(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

bool keyExists(HKEY root, const std::string& path) {
    UniqueKey key;
    return ::RegOpenKeyExW(root, toUtf16(path).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::wstring rawString(HKEY root, const std::string& path, const std::string& name,
                       DWORD* typeOut = nullptr, DWORD* bytesOut = nullptr) {
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof(buffer);
    DWORD type = 0;
    LONG rc = ::RegGetValueW(root, toUtf16(path).c_str(), toUtf16(name).c_str(), RRF_RT_ANY, &type,
                             buffer, &bytes);
    if (rc != ERROR_SUCCESS) {
        return L"<missing>";
    }
    if (typeOut) {
        *typeOut = type;
    }
    if (bytesOut) {
        *bytesOut = bytes;
    }
    return buffer;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleteTree(HKEY_CURRENT_USER, kVbRoot + L"\\TidewellTest");
        deleteTree(HKEY_CURRENT_USER, kVbRoot + L"\\C:");
    }
    void TearDown() override { SetUp(); }
    RegistrySettingsStore store;
};

// Where the classic runtime kept them, as text with its terminator; text
// outside ASCII and empty values round trip.
TEST_F(SettingsStoreTest, EntriesLiveWhereTheClassicRuntimeKeptThemAndRoundTrip) {
    const struct {
        std::string app, value;
    } rows[] = {
        {"TidewellTest", "0"},
        {"C:\\Programme\\T\xc3\xaf"
         "dewell \xe6\x97\xa5\xe6\x9c\xac",
         "http://\xc3\xbc"
         "ber.example/\xe2\x82\xac?q=\xf0\x9f\x8c\x8a"},
        {"TidewellTest", ""}, // stored empty, not absent
    };
    for (const auto& row : rows) {
        store.SaveSetting(row.app, "HomePage", "URL", row.value);
        EXPECT_EQ(store.GetSetting(row.app, "HomePage", "URL", "default"), row.value) << row.app;
    }
    store.SaveSetting("TidewellTest", "PopupKiller", "IsActive", "0");
    DWORD type = 0, bytes = 0;
    EXPECT_EQ(rawString(HKEY_CURRENT_USER,
                        "Software\\VB and VBA Program Settings\\TidewellTest\\PopupKiller",
                        "IsActive", &type, &bytes),
              L"0");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, 2 * sizeof(wchar_t));
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleteTree(HKEY_CURRENT_USER, toUtf16(kTestKey));
        deleteTree(HKEY_LOCAL_MACHINE, toUtf16(kTestKey));
    }
    void TearDown() override { SetUp(); }
    WinRegistry registry;
};

TEST_F(RegistryTest, SetUserValueWritesOnlyIntoExistingKeys) {
    registry.SetUserValue(kTestKey + "\\Main", "Start Page", "about:blank", RegistryType::String);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kTestKey + "\\Main"));

    createKey(HKEY_CURRENT_USER, kTestKey + "\\Main");
    registry.SetUserValue(kTestKey + "\\Main", "Start Page", "http://\xc3\xa9t\xc3\xa9.example/",
                          RegistryType::String);
    DWORD type = 0;
    DWORD bytes = 0;
    EXPECT_EQ(rawString(HKEY_CURRENT_USER, kTestKey + "\\Main", "Start Page", &type, &bytes),
              L"http://\u00e9t\u00e9.example/");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, (std::wstring(L"http://\u00e9t\u00e9.example/").size() + 1) * sizeof(wchar_t));
}

TEST_F(RegistryTest, DwordValuesAreNumbersOrTheCommonError) {
    UniqueKey key = createKey(HKEY_CURRENT_USER, kTestKey);
    auto stored = [&] {
        DWORD value = 0;
        DWORD bytes = sizeof(value);
        EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, toUtf16(kTestKey).c_str(), L"Flag",
                                 RRF_RT_DWORD, nullptr, &value, &bytes),
                  ERROR_SUCCESS);
        return value;
    };
    registry.SetUserValue(kTestKey, "Flag", "-1", RegistryType::DWord);
    EXPECT_EQ(stored(), 0xFFFFFFFFu);
    try {
        registry.SetUserValue(kTestKey, "Flag", "yes", RegistryType::DWord);
        ADD_FAILURE() << "a non-number was written as a DWORD";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), errors::TypeMismatch);
    }
    EXPECT_EQ(stored(), 0xFFFFFFFFu) << "the failed write left the old value alone";
}

TEST_F(RegistryTest, QueryValueExReadsAnUnterminatedStringWholeAndLeavesAMissingOneAlone) {
    UniqueKey key = createKey(HKEY_CURRENT_USER, kTestKey);
    const wchar_t bare[] = {L'a', L'b', L'c'};
    ::RegSetValueExW(key.get(), L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare),
                     sizeof(bare));
    std::string value = "untouched";
    EXPECT_EQ(QueryValueEx(key.get(), "Missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(QueryValueEx(key.get(), "Bare", value), ERROR_SUCCESS);
    EXPECT_EQ(value, "abc");
}

// The text default is read at every start (e2e); numbers and absences only here.
TEST_F(RegistryTest, GetMachineValueReadsNumbersAndIsSilentWhenAbsent) {
    EXPECT_EQ(registry.GetMachineValue(kTestKey, ""), "");
    UniqueKey key = createKey(HKEY_LOCAL_MACHINE, kTestKey);
    WriteValueData(key.get(), "Count", RegistryType::DWord, "3");
    EXPECT_EQ(registry.GetMachineValue(kTestKey, "Count"), "3");
    EXPECT_EQ(registry.GetMachineValue(kTestKey, "Absent"), "");
    EXPECT_EQ(registry.GetMachineValue(kTestKey + "\\Nope", ""), "");
}

} // namespace

// The settings store and the registry adapters on the real (Wine) registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "shell/app_error.h"
#include "shell/registry_win32.h"
#include "shell/settings_store_win32.h"
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

TEST_F(SettingsStoreTest, AbsentEntriesGiveTheDefault) {
    EXPECT_EQ(store.GetSetting("TidewellTest", "Schedule", "RunOn", "7"), "7");
    store.SaveSetting("TidewellTest", "Schedule", "Other", "x");
    EXPECT_EQ(store.GetSetting("TidewellTest", "Schedule", "RunOn", ""), "");
}

TEST_F(SettingsStoreTest, EntriesLiveWhereTheClassicRuntimeKeptThem) {
    store.SaveSetting("TidewellTest", "PopupKiller", "IsActive", "0");
    DWORD type = 0;
    DWORD bytes = 0;
    EXPECT_EQ(rawString(HKEY_CURRENT_USER,
                        "Software\\VB and VBA Program Settings\\TidewellTest\\PopupKiller",
                        "IsActive", &type, &bytes),
              L"0");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, 2 * sizeof(wchar_t)); // text plus its terminator

    // A value left there by an earlier installation is read back as it is.
    UniqueKey key = createKey(HKEY_CURRENT_USER,
                              "Software\\VB and VBA Program Settings\\TidewellTest\\HomePage");
    const wchar_t old[] = L"http://old.example/";
    ::RegSetValueExW(key.get(), L"URL", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof(old));
    EXPECT_EQ(store.GetSetting("TidewellTest", "HomePage", "URL", "about:blank"),
              "http://old.example/");
}

TEST_F(SettingsStoreTest, FolderPathApplicationNamesRoundTrip) {
    const std::string app = "C:\\Program Files\\Tide well\\";
    store.SaveSetting(app, "Settings", "0", "1");
    store.SaveSetting(app, "Settings", "15", "0");
    EXPECT_EQ(store.GetSetting(app, "Settings", "0", "x"), "1");
    EXPECT_EQ(store.GetSetting(app, "Settings", "15", "x"), "0");
    EXPECT_EQ(store.GetSetting("C:\\Program Files\\Tide well", "Settings", "0", "x"), "1");
    EXPECT_TRUE(
        keyExists(HKEY_CURRENT_USER,
                  "Software\\VB and VBA Program Settings\\C:\\Program Files\\Tide well\\Settings"));
}

TEST_F(SettingsStoreTest, NonAsciiTextSurvives) {
    const std::string app = "C:\\Programme\\T\xc3\xaf"
                            "dewell \xe6\x97\xa5\xe6\x9c\xac";
    const std::string value = "http://\xc3\xbc"
                              "ber.example/\xe2\x82\xac?q=\xf0\x9f\x8c\x8a";
    store.SaveSetting(app, "HomePage", "URL", value);
    EXPECT_EQ(store.GetSetting(app, "HomePage", "URL", ""), value);
    deleteTree(HKEY_CURRENT_USER, kVbRoot + L"\\C:");
}

TEST_F(SettingsStoreTest, EmptyValueIsStoredNotAbsent) {
    store.SaveSetting("TidewellTest", "Schedule", "Date", "");
    EXPECT_EQ(store.GetSetting("TidewellTest", "Schedule", "Date", "default"), "");
}

TEST_F(SettingsStoreTest, InvalidNamesRaiseTheCommonError) {
    EXPECT_THROW(store.SaveSetting("", "Settings", "0", "1"), AppError);
    EXPECT_THROW(store.GetSetting("TidewellTest", "", "0", "1"), AppError);
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
    registry.SetUserValue(kTestKey, "Flag", "-1", RegistryType::DWord);
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, toUtf16(kTestKey).c_str(), L"Flag", RRF_RT_DWORD,
                             nullptr, &value, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 0xFFFFFFFFu);

    try {
        registry.SetUserValue(kTestKey, "Flag", "yes", RegistryType::DWord);
        ADD_FAILURE() << "a non-number was written as a DWORD";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), errors::TypeMismatch);
    }
    // The failed write left the old value alone.
    value = 0;
    bytes = sizeof(value);
    ::RegGetValueW(HKEY_CURRENT_USER, toUtf16(kTestKey).c_str(), L"Flag", RRF_RT_DWORD, nullptr,
                   &value, &bytes);
    EXPECT_EQ(value, 0xFFFFFFFFu);
}

TEST_F(RegistryTest, WriteValueDataIgnoresOtherTypes) {
    UniqueKey key = createKey(HKEY_CURRENT_USER, kTestKey);
    EXPECT_EQ(WriteValueData(key.get(), "Odd", static_cast<RegistryType>(3), "data"), 0);
    EXPECT_EQ(rawString(HKEY_CURRENT_USER, kTestKey, "Odd"), L"<missing>");
}

TEST_F(RegistryTest, QueryValueExReportsAsSpecifiedPerType) {
    UniqueKey key = createKey(HKEY_CURRENT_USER, kTestKey);
    ASSERT_EQ(WriteValueData(key.get(), "", RegistryType::String, "unnamed"), ERROR_SUCCESS);
    ASSERT_EQ(WriteValueData(key.get(), "N", RegistryType::DWord, "-42"), ERROR_SUCCESS);
    const BYTE binary[] = {1, 2, 3};
    ::RegSetValueExW(key.get(), L"B", 0, REG_BINARY, binary, sizeof(binary));
    // A string stored without its terminator is still read whole.
    const wchar_t bare[] = {L'a', L'b', L'c'};
    ::RegSetValueExW(key.get(), L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare),
                     sizeof(bare));

    std::string value = "untouched";
    EXPECT_EQ(QueryValueEx(key.get(), "Missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(QueryValueEx(key.get(), "", value), ERROR_SUCCESS);
    EXPECT_EQ(value, "unnamed");
    EXPECT_EQ(QueryValueEx(key.get(), "N", value), ERROR_SUCCESS);
    EXPECT_EQ(value, "-42");
    EXPECT_EQ(QueryValueEx(key.get(), "Bare", value), ERROR_SUCCESS);
    EXPECT_EQ(value, "abc");
    value = "kept";
    EXPECT_EQ(QueryValueEx(key.get(), "B", value), -1);
    EXPECT_EQ(value, "kept");
}

TEST_F(RegistryTest, GetMachineValueReadsTextAndNumbersAndIsSilentOtherwise) {
    EXPECT_EQ(registry.GetMachineValue(kTestKey, ""), "");
    UniqueKey key = createKey(HKEY_LOCAL_MACHINE, kTestKey);
    WriteValueData(key.get(), "", RegistryType::String, "Encrypted \xc3\x84rchive");
    WriteValueData(key.get(), "Count", RegistryType::DWord, "3");
    EXPECT_EQ(registry.GetMachineValue(kTestKey, ""), "Encrypted \xc3\x84rchive");
    EXPECT_EQ(registry.GetMachineValue(kTestKey, "Count"), "3");
    EXPECT_EQ(registry.GetMachineValue(kTestKey, "Absent"), "");
    EXPECT_EQ(registry.GetMachineValue(kTestKey + "\\Nope", ""), "");
}

TEST_F(RegistryTest, SetRegistryValueReachesEachRoot) {
    createKey(HKEY_LOCAL_MACHINE, kTestKey);
    registry.SetRegistryValue(RegistryRoot::LocalMachine, kTestKey, "V", "m", RegistryType::String);
    EXPECT_EQ(rawString(HKEY_LOCAL_MACHINE, kTestKey, "V"), L"m");
    // HKEY_CLASSES_ROOT is HKLM\Software\Classes for writes.
    deleteTree(HKEY_CLASSES_ROOT, L"TidewellTestClass");
    createKey(HKEY_CLASSES_ROOT, "TidewellTestClass");
    registry.SetRegistryValue(RegistryRoot::ClassesRoot, "TidewellTestClass", "", "Test class",
                              RegistryType::String);
    EXPECT_EQ(rawString(HKEY_CLASSES_ROOT, "TidewellTestClass", ""), L"Test class");
    deleteTree(HKEY_CLASSES_ROOT, L"TidewellTestClass");
}

} // namespace

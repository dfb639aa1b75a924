// The settings store and the registry adapters on the real (Wine) registry:
// value types and sizes, text outside ASCII through the W functions, and
// values written by other programs. Key naming is the unit tests'; writes to
// each root and the reads the program does at start are the e2e tests'.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "kernel/registry_win32.h"
#include "kernel/settings_store_win32.h"
#include "test_files.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

using namespace tidewell;
using namespace tidewell::win32;
using testing_files::regString;

namespace {

const std::wstring kVbRoot = L"Software\\VB and VBA Program Settings";
const std::string kTestKey = "Software\\TidewellTests";
const std::wstring kTestKeyW = toUtf16(kTestKey);

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            ::RegDeleteTreeW(root, kTestKeyW.c_str());
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (kVbRoot + L"\\TidewellTest").c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (kVbRoot + L"\\C:").c_str());
    }
    void TearDown() override { SetUp(); }
    static UniqueKey createKey(HKEY root, const std::wstring& path = kTestKeyW) {
        UniqueKey key;
        EXPECT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.put(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    RegistrySettingsStore store;
    WinRegistry registry;
};

// Text outside ASCII and empty values round trip (where they live is read
// back by the popup e2e test).
TEST_F(RegistryTest, SettingsRoundTripTextOutsideAsciiAndEmptyValues) {
    const struct {
        std::string app, value;
    } rows[] = {
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
}

// Text only into keys that exist, with its terminator.
TEST_F(RegistryTest, SetUserValueWritesTextOnlyIntoExistingKeys) {
    const std::string main = kTestKey + "\\Main";
    registry.SetUserValue(main, "Start Page", "about:blank", RegistryType::String);
    EXPECT_EQ(regString(HKEY_CURRENT_USER, toUtf16(main).c_str(), L"Start Page"), "<absent>");

    createKey(HKEY_CURRENT_USER, toUtf16(main));
    registry.SetUserValue(main, "Start Page", "http://\xc3\xa9t\xc3\xa9.example/",
                          RegistryType::String);
    DWORD bytes = 0;
    EXPECT_EQ(regString(HKEY_CURRENT_USER, toUtf16(main).c_str(), L"Start Page", &bytes),
              "http://\xc3\xa9t\xc3\xa9.example/");
    EXPECT_EQ(bytes, (std::wstring(L"http://\u00e9t\u00e9.example/").size() + 1) * sizeof(wchar_t));
}

// Values other programs wrote: a string without its terminator is read whole,
// a missing value leaves the text alone; the machine's numbers are read and
// a missing key is silent (absent values are read at every start, e2e).
TEST_F(RegistryTest, ReadersTakeValuesAsOtherProgramsWroteThem) {
    UniqueKey key = createKey(HKEY_CURRENT_USER);
    const wchar_t bare[] = {L'a', L'b', L'c'};
    ::RegSetValueExW(key.get(), L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare),
                     sizeof(bare));
    std::string value = "untouched";
    EXPECT_EQ(QueryValueEx(key.get(), "Missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(QueryValueEx(key.get(), "Bare", value), ERROR_SUCCESS);
    EXPECT_EQ(value, "abc");

    WriteValueData(createKey(HKEY_LOCAL_MACHINE).get(), "Count", RegistryType::DWord, "3");
    EXPECT_EQ(registry.GetMachineValue(kTestKey, "Count"), "3");
    EXPECT_EQ(registry.GetMachineValue(kTestKey + "\\Nope", ""), "");
}

} // namespace

// The settings store and the registry reader on the real (Wine) registry:
// text outside ASCII through the W functions, and values written by other
// programs. Key naming is the unit tests'; the writes into the browser's keys
// and the reads the program does at start are the e2e tests'.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "kernel/registry_win32.h"
#include "kernel/settings_store_win32.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

using namespace tidewell;
using namespace tidewell::win32;

namespace {

const std::wstring kVbRoot = L"Software\\VB and VBA Program Settings";
const std::wstring kTestKeyW = L"Software\\TidewellTests";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKeyW.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (kVbRoot + L"\\TidewellTest").c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (kVbRoot + L"\\C:").c_str());
    }
    void TearDown() override { SetUp(); }
    RegistrySettingsStore store;
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

// Values other programs wrote: a string without its terminator is read whole,
// a missing value leaves the text alone.
TEST_F(RegistryTest, ReadersTakeValuesAsOtherProgramsWroteThem) {
    UniqueKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKeyW.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    const wchar_t bare[] = {L'a', L'b', L'c'};
    ::RegSetValueExW(key.get(), L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare),
                     sizeof(bare));
    std::string value = "untouched";
    EXPECT_EQ(QueryValueEx(key.get(), "Missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(QueryValueEx(key.get(), "Bare", value), ERROR_SUCCESS);
    EXPECT_EQ(value, "abc");
}

} // namespace

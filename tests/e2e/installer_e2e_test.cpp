// End to end: the per-user installer, silent, in the sandbox's profile, and
// the installed program's command line. It installs; the program starts for
// the tray and takes a .cfy path from a second copy; an install over the
// running program ends it; a start with a path opens it; the uninstall
// leaves the settings and the user's files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "../win32/test_files.h"
#include "filesecurity/file_security_ids.h"
#include "program_driver.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;
using win32::toUtf16;
using win32::toUtf8;

namespace {

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tidewell";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\Installer";
constexpr wchar_t kMachineClass[] = L"Software\\Classes\\cfy_auto_file";

std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)))
        out = toUtf8(path);
    ::CoTaskMemFree(path);
    return out;
}

// Runs a setup or uninstaller silently and waits for it.
long runSilently(const std::string& exe) {
    ProgramProcess process(toUtf16(exe), L"/S");
    return process.waitExit(60s);
}

std::wstring quoted(const std::string& path) {
    return L"\"" + toUtf16(path) + L"\"";
}

// The decrypt panel holds `file`; what else it shows is the unit tests'.
void expectOpened(HWND main, const std::string& file) {
    ASSERT_TRUE(waitFor([&] { return controlText(main, IDC_TXTSOURCE) == file; }))
        << controlText(main, IDC_TXTSOURCE);
    EXPECT_EQ(controlText(main, IDC_TXTDESTINATION), file.substr(0, file.size() - 4));
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_FALSE(exists(file.substr(0, file.size() - 4))) << "nothing runs before Decrypt";
}

class InstallerE2E : public ::testing::Test {
protected:
    void SetUp() override { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        removeTree(folder_);
        removeTree(files_);
        ::CoUninitialize();
    }
    std::string folder_ = knownFolder(FOLDERID_LocalAppData) + "\\Programs\\Tidewell";
    std::string files_ = tempFolder() + "tidewell cmd \xc3\xa9";
};

TEST_F(InstallerE2E, InstallTrayStartHandOverInstallOverTheRunningCopyAndUninstall) {
    const std::string setup = "C:\\testbin\\Tidewell-setup.exe";
    ASSERT_TRUE(exists(setup)) << "the installer was not built";
    const std::string exe = folder_ + "\\Varnholt.exe", uninstaller = folder_ + "\\uninstall.exe";
    const std::string link = knownFolder(FOLDERID_Programs) + "\\Tidewell.lnk";
    ASSERT_EQ(runSilently(setup), 0);

    for (const char* name : {"\\Varnholt.exe", "\\MSHook.dll", "\\uninstall.exe"})
        EXPECT_TRUE(exists(folder_ + name)) << name;
    EXPECT_TRUE(exists(link));
    EXPECT_EQ(userString(kRunKey, L"Tidewell"), "\"" + exe + "\" /tray");
    EXPECT_EQ(userString(kUninstallKey, L"UninstallString"), "\"" + uninstaller + "\"");

    // Started as the Run value starts it, it registers the .cfy type for
    // itself (WIN.INI and machine-wide; this prefix may).
    ::WritePrivateProfileStringW(L"Extensions", L"CFY", nullptr, L"WIN.INI");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMachineClass);
    mkdir(files_);
    const std::string handed = files_ + "\\tax 2024.pdf.cfy", given = files_ + "\\b.CFY";
    writeText(handed, "sealed");
    writeText(given, "sealed");
    {
        ProgramProcess program(toUtf16(exe), L"/tray");
        HWND main = nullptr;
        ASSERT_TRUE(waitFor([&] {
            main = program.findWindow(L"TidewellMain");
            return main != nullptr && trayIcons().size() == 1;
        }));
        ASSERT_TRUE(waitFor(
            [&] { return regString(HKEY_LOCAL_MACHINE, kMachineClass) == "Cofferly File"; }));
        EXPECT_FALSE(::IsWindowVisible(main)) << "a start for the tray shows only the icon";
        // A second copy hands its path over and ends without a message; the
        // hidden window comes back with the file.
        ProgramProcess copy(toUtf16(exe), quoted(handed));
        EXPECT_EQ(copy.waitExit(), 0) << "the second copy did not end by itself";
        expectOpened(main, handed);
        // Installing again ends it (not just hides it) and replaces its files.
        ASSERT_EQ(runSilently(setup), 0);
        EXPECT_EQ(program.waitExit(5s), 0) << "the running copy was not ended";
        EXPECT_TRUE(exists(exe));
    }
    // A standard user's registration of this copy, and a setting and a file of the user's.
    const std::wstring command = L"\"" + toUtf16(folder_) + L"\\Varnholt.Exe\" \"%1\"";
    setUserString(L"Software\\Classes\\cfy_auto_file\\shell\\open\\command", nullptr, command);
    setUserString(L"Software\\Classes\\.cfy", nullptr, L"cfy_auto_file");
    setUserString(kSettingsKey, L"Kept", L"yes");
    writeText(folder_ + "\\report.pdf.cfy", "sealed");
    // What a double-click runs.
    ProgramProcess running(toUtf16(exe), quoted(given));
    HWND main = running.waitMainWindow();
    ASSERT_NE(main, nullptr);
    expectOpened(main, given);

    // The uninstaller runs from a copy of itself: wait for its work.
    ASSERT_EQ(runSilently(uninstaller), 0);
    EXPECT_TRUE(waitFor([&] { return !exists(uninstaller); }, 30s));
    EXPECT_EQ(running.waitExit(5s), 0) << "the running copy was not ended";
    // The old WIN.INI entry goes last.
    const auto winIni = [] {
        wchar_t ini[MAX_PATH] = {};
        ::GetPrivateProfileStringW(L"Extensions", L"CFY", L"<absent>", ini, MAX_PATH, L"WIN.INI");
        return toUtf8(ini);
    };
    EXPECT_TRUE(waitFor([&] { return winIni() == "<absent>"; })) << winIni();
    EXPECT_FALSE(keyExists(kUninstallKey));
    for (const char* name : {"\\Varnholt.exe", "\\MSHook.dll"})
        EXPECT_FALSE(exists(folder_ + name)) << name;
    EXPECT_FALSE(exists(link));
    EXPECT_EQ(userString(kRunKey, L"Tidewell"), "<absent>");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, kMachineClass), "<absent>");
    EXPECT_FALSE(keyExists(L"Software\\Classes\\cfy_auto_file"));
    EXPECT_FALSE(keyExists(L"Software\\Classes\\.cfy"));
    // What is not the program's stays.
    EXPECT_EQ(userString(kSettingsKey, L"Kept"), "yes");
    EXPECT_EQ(readText(folder_ + "\\report.pdf.cfy"), "sealed");
}

} // namespace

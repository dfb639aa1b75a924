// End to end: a real clean with every option against seeded traces, layouts
// that must be refused and Exit during a folder erase, on the real program in
// the bench's sandbox prefix. Canary folders sit behind directory links and
// must survive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>
#include <shlobj.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../win32/test_files.h"
#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;
using win32::toUtf16;
using win32::toUtf8;

namespace {

const std::string kApp = "C:\\Program Files\\Tidewell";
const wchar_t kOptionsKey[] =
    L"Software\\VB and VBA Program Settings\\C:\\Program Files\\Tidewell\\Settings";
const wchar_t kTidewellKey[] = L"Software\\VB and VBA Program Settings\\Tidewell";
const wchar_t kIeMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";
const wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
const wchar_t kRunMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
const wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string specialFolder(int id) {
    wchar_t path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, id, FALSE) ? toUtf8(path) : "";
}

// The whole pane (the driver's text() stops at 1,024 characters).
std::string paneText(HWND main) {
    HWND pane = findControl(main, IDC_RTFMESSAGE);
    std::wstring text(static_cast<size_t>(::SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    ::SendMessageW(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return toUtf8(text.c_str());
}
bool done(HWND main) {
    return paneText(main).find("\r\nDone") != std::string::npos;
}

// The pane's red lines (the colour of a line's first character; rich edit
// counts a line break as one position).
std::vector<std::string> redLines(HWND main) {
    HWND pane = findControl(main, IDC_RTFMESSAGE);
    const std::wstring text = toUtf16(paneText(main));
    std::vector<std::string> red;
    LONG position = 0;
    for (size_t start = 0; start <= text.size();) {
        const size_t brk = std::min(text.find(L"\r\n", start), text.size());
        ::SendMessageW(pane, EM_SETSEL, static_cast<WPARAM>(position), position + 1);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof(cf);
        cf.dwMask = CFM_COLOR;
        sendWithBuffer(pane, EM_GETCHARFORMAT, SCF_SELECTION, &cf, sizeof(cf));
        if (brk > start && cf.crTextColor == RGB(255, 0, 0)) {
            red.push_back(toUtf8(text.substr(start, brk - start)));
        }
        position += static_cast<LONG>(brk - start) + 1;
        start = brk + 2;
    }
    return red;
}

bool inSandbox() {
    // Wiping "My Documents" or the temporary folder is only ever done in a
    // prefix whose folders are plain folders of its own.
    bool plain = ::_wgetenv(L"TIDEWELL_SANDBOX") != nullptr;
    for (int id : {5, 6, 8, 32, 33, 34}) {
        const DWORD a = attributes(specialFolder(id));
        plain = plain && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    }
    return plain;
}

class CleaningE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (!inSandbox()) {
            GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
        }
        clearStored();
        // The browser's own key exists on a real system; the program writes
        // only into existing keys.
        setUserString(kIeMain, L"Start Page", L"http://start.example");
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kIeMain, L"Disable Script Debugger");
    }
    void TearDown() override { clearStored(); }
    void clearStored() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kOptionsKey);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kTidewellKey) + L"\\BrowseFile").c_str());
    }
    win32::RegistrySettingsStore store;
};

TEST_F(CleaningE2E, RealCleanWithEveryOptionErasesTheTracesAndNothingBeyondTheLinks) {
    // Paths first: they are read before any Linux program is started.
    std::map<int, std::string> folders;
    for (int id : {5, 6, 8, 32, 33, 34}) {
        folders[id] = specialFolder(id);
        ASSERT_FALSE(folders[id].empty()) << id;
    }
    std::string temp = tempFolder();
    temp.pop_back();
    const std::string canary = "C:\\h3canary";
    removeTree(canary);
    mkdir(canary + "\\inner");
    writeText(canary + "\\keep.txt", "canary");
    writeText(canary + "\\inner\\keep2.txt", "canary");

    std::vector<std::string> gone{temp + "\\trace.tmp", folders[33] + "\\index.dat",
                                  folders[34] + "\\History.IE5"};
    std::vector<std::string> kept{temp, canary + "\\keep.txt", canary + "\\inner\\keep2.txt"};
    for (const auto& [id, folder] : folders) {
        const std::string tag = std::to_string(id);
        writeText(folder + "\\trace" + tag + " \xc3\xa9.txt", "t", FILE_ATTRIBUTE_READONLY);
        mkdir(folder + "\\sub" + tag + "\\deeper");
        writeText(folder + "\\sub" + tag + "\\deeper\\d.txt", "d");
        writeText(folder + "\\hidden" + tag + ".txt", "h", FILE_ATTRIBUTE_HIDDEN);
        gone.push_back(folder + "\\trace" + tag + " \xc3\xa9.txt");
        // sub8 holds a link that Wine cannot remove, so only its contents go.
        gone.push_back(folder + "\\sub" + tag + (id == 8 ? "\\deeper" : ""));
        kept.push_back(folder + "\\hidden" + tag + ".txt");
        kept.push_back(folder);
    }
    mkdir(folders[34] + "\\History.IE5");
    writeText(folders[34] + "\\History.IE5\\index.dat", "idx",
              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    writeText(folders[33] + "\\index.dat", "idx", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    writeText(temp + "\\trace.tmp", "t");

    writeText("C:\\binned.txt", std::string(3000, 'b'));
    trash("C:\\binned.txt");

    setUserString(kTypedUrls, L"url1", L"http://visited.example");
    setUserString(kRunMru, L"a", L"regedit\\1");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, 16);
    std::memcpy(::GlobalLock(mem), L"secret", 14);
    ::GlobalUnlock(mem);
    ::SetClipboardData(CF_UNICODETEXT, mem);
    ::CloseClipboard();

    for (int id : {34, 32, 5}) {
        linkTo(folders[id] + "\\canarylink", canary, true);
    }
    linkTo(folders[8] + "\\sub8\\innerlink", canary + "\\inner", true);
    linkTo(temp + "\\canarylink", canary, true);
    linkTo(temp + "\\filelink.txt", canary + "\\keep.txt");

    for (int i = 0; i < 16; ++i) {
        store.SaveSetting(kApp, "Settings", "Index" + std::to_string(i), "1");
    }
    ProgramProcess p;
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);
    click(findControl(main, IDC_CMDBASICCLEAN));
    ASSERT_TRUE(waitFor([&] { return done(main); }, 90s)) << paneText(main);
    EXPECT_THAT(redLines(main), ::testing::IsEmpty()) << paneText(main);
    EXPECT_EQ(controlText(main, IDC_LBLSTATUS), "Ready");
    for (const auto& f : gone) {
        EXPECT_FALSE(exists(f)) << f;
    }
    for (const auto& f : kept) {
        EXPECT_TRUE(exists(f)) << f;
    }
    EXPECT_FALSE(keyExists(kTypedUrls));
    EXPECT_FALSE(keyExists(kRunMru));
    EXPECT_EQ(userString(kIeMain, L"Disable Script Debugger"), "yes");
    EXPECT_FALSE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
    SHQUERYRBINFO bin{};
    bin.cbSize = sizeof(bin);
    ::SHQueryRecycleBinW(nullptr, &bin);
    EXPECT_EQ(bin.i64NumItems, 0);
    EXPECT_EQ(exitWithButton(p, main), 0);

    for (int id : {34, 32, 5}) {
        removeTree(folders[id] + "\\canarylink");
    }
    removeTree(folders[8] + "\\sub8");
    removeTree(temp + "\\canarylink");
    removeTree(temp + "\\filelink.txt");
    removeTree(canary);
}

// Each layout is one environment variable or one registry value away from a
// normal machine; one default Basic Clean must lose no canary and say which
// folder it refused.
TEST_F(CleaningE2E, DangerousLayoutsLoseNoCanaryAndNameTheRefusedFolder) {
    const std::string profile = specialFolder(CSIDL_PROFILE), docs = specialFolder(5);
    std::vector<std::string> canaries = {docs + "\\web\\index.dat"};
    for (const std::string& folder : {profile, docs, specialFolder(CSIDL_DESKTOPDIRECTORY),
                                      specialFolder(CSIDL_APPDATA), std::string("C:")}) {
        canaries.push_back(folder + "\\canary.txt");
    }
    for (const std::string& c : canaries) {
        mkdir(c.substr(0, c.find_last_of('\\')));
        writeText(c, "canary");
    }
    // The shell folder named, or TEMP and TMP where none is.
    const std::pair<const wchar_t*, std::string> layouts[] = {
        {nullptr, profile},    {nullptr, "C:\\"},  {nullptr, docs},
        {L"Cookies", profile}, {L"History", docs}, {L"Recent", "C:\\"}};
    wchar_t temp[MAX_PATH] = {}, tmp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    ::GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    for (const auto& [shellFolder, folder] : layouts) {
        const std::wstring value = toUtf16(folder);
        std::string shown = folder;
        if (shellFolder == nullptr) {
            ::SetEnvironmentVariableW(L"TEMP", value.c_str());
            ::SetEnvironmentVariableW(L"TMP", value.c_str());
            if (shown.back() == '\\') {
                shown.pop_back(); // the temporary path loses its last character
            }
        } else {
            setUserString(kUserShellFolders, shellFolder, value);
            setUserString(kShellFolders, shellFolder, value);
        }
        {
            ProgramProcess p;
            ::SetEnvironmentVariableW(L"TEMP", temp);
            ::SetEnvironmentVariableW(L"TMP", tmp);
            HWND main = p.waitMainWindow();
            ASSERT_NE(main, nullptr);
            click(findControl(main, IDC_CMDBASICCLEAN));
            EXPECT_TRUE(waitFor([&] { return done(main); }, 60s)) << paneText(main);
            EXPECT_THAT(redLines(main),
                        ::testing::Contains("Not erased: " + shown +
                                            " is not a folder this option may empty"))
                << paneText(main);
            EXPECT_EQ(exitWithButton(p, main), 0);
        }
        if (shellFolder != nullptr) {
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, shellFolder);
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, shellFolder);
        }
        for (const std::string& c : canaries) {
            EXPECT_EQ(readText(c), "canary") << c << " lost with " << shown;
        }
    }
    for (const std::string& c : canaries) {
        ::DeleteFileW(toUtf16(c).c_str());
    }
}

// Exit during a long folder erase ends the program at the next file (the
// clean run's wipe is the same one, and its stop is the unit tests').
TEST_F(CleaningE2E, ExitDuringAFolderEraseStopsAndEnds) {
    const std::string folder = "C:\\h3exit";
    for (int d = 0; d < 20; ++d) {
        mkdir(folder + "\\d" + std::to_string(d));
        for (int f = 0; f < 200; ++f) {
            writeText(folder + "\\d" + std::to_string(d) + "\\f" + std::to_string(f), "x");
        }
    }
    ProgramProcess p;
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);
    chooseTab(main, 3);
    click(findControl(main, IDC_CMDBROWSEFOLDERTODELETE));
    ASSERT_TRUE(chooseFolder(p, folder));
    HWND box = waitMessageBox(p, "Delete Folder");
    ASSERT_NE(box, nullptr);
    answerMessageBox(p, box, IDYES);
    // The wipe takes the subfolders in the file system's order.
    ASSERT_TRUE(waitFor([&] { return listing(folder).size() < 20; }, 20s)) << "it started";
    EXPECT_EQ(exitWithButton(p, main), 0);
    EXPECT_GT(listing(folder).size(), 10u) << "it stopped at the next file";
    removeTree(folder);
}

} // namespace

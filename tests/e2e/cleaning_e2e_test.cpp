// End to end: the cleaning options, a real clean with every option against
// seeded traces, "Clean && Reboot" and the "Advanced" tab, on the real program
// in the bench's sandbox prefix. A canary folder sits behind a directory link
// in every wiped folder and must survive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "../win32/test_files.h"
#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "settings/cleaning_options.h"
#include "shell/page_ids.h"
#include "shell/resource.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

using namespace tidewell;
using namespace tidewell::e2e;
using win32::toUtf16;
using win32::toUtf8;
using namespace tidewell::testing_files;

namespace {

const std::string kApp = "C:\\Program Files\\Tidewell";
const wchar_t kOptionsKey[] =
    L"Software\\VB and VBA Program Settings\\C:\\Program Files\\Tidewell\\Settings";
const wchar_t kHomePageKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\HomePage";
const wchar_t kBrowseFileKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\BrowseFile";
const wchar_t kIeMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";
const wchar_t kAutoComplete[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoComplete";
const wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
const wchar_t kRunMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

constexpr COLORREF kBlue = RGB(0, 0, 255), kGreen = RGB(0, 128, 0), kRed = RGB(255, 0, 0),
                   kBlack = RGB(0, 0, 0);

// ---- files, links, registry ------------------------------------------------

// Directory link made from the Linux side (Wine flags it as a reparse point).
void link(const std::string& at, const std::string& target) {
    linkTo(at, target);
    ASSERT_NE(::GetFileAttributesW(toUtf16(at).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
}

void setUserString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    ::RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(k);
}
std::string userString(const wchar_t* key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - 2;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS) {
        return "<absent>";
    }
    return toUtf8(buffer);
}
bool keyExists(const wchar_t* key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(k);
    return true;
}

std::string specialFolder(int id) {
    wchar_t path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, id, FALSE) ? toUtf8(path) : "";
}

// ---- the window --------------------------------------------------------------

int boxState(HWND main, int id) {
    return static_cast<int>(::SendMessageW(findControl(main, id), BM_GETCHECK, 0, 0));
}
// A user's click on a check box: the state flips, then the click is heard.
void toggle(HWND main, int id) {
    HWND box = findControl(main, id);
    ::SendMessageW(box, BM_SETCHECK,
                   boxState(main, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    click(box);
}
std::vector<int> optionStates(HWND main) {
    std::vector<int> v;
    for (int i = 0; i < 16; ++i) {
        v.push_back(boxState(main, IDC_CHKSETTINGS_0 + i));
    }
    return v;
}

// The whole pane (the driver's text() stops at 1,024 characters).
std::string paneText(HWND main) {
    HWND pane = findControl(main, IDC_RTFMESSAGE);
    const LRESULT length = ::SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::SendMessageW(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return toUtf8(text.c_str());
}

struct PaneLine {
    COLORREF colour;
    std::string text;
};
// The pane's lines, each with the colour of its first character (of the
// break before it when empty). Rich edit counts a line break as one position.
std::vector<PaneLine> paneLines(HWND main) {
    HWND pane = findControl(main, IDC_RTFMESSAGE);
    const std::wstring text = toUtf16(paneText(main));
    std::vector<PaneLine> lines;
    LONG position = 0;
    size_t start = 0;
    for (;;) {
        const size_t brk = text.find(L"\r\n", start);
        const std::wstring line =
            text.substr(start, brk == std::wstring::npos ? std::wstring::npos : brk - start);
        LONG at = line.empty() ? std::max<LONG>(position - 1, 0) : position;
        ::SendMessageW(pane, EM_SETSEL, static_cast<WPARAM>(at), at + 1);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof(cf);
        cf.dwMask = CFM_COLOR;
        sendWithBuffer(pane, EM_GETCHARFORMAT, SCF_SELECTION, &cf, sizeof(cf));
        lines.push_back({cf.crTextColor, toUtf8(line)});
        if (brk == std::wstring::npos) {
            break;
        }
        position += static_cast<LONG>(line.size()) + 1;
        start = brk + 2;
    }
    return lines;
}

bool inSandbox() {
    // Wiping "My Documents" or the temporary folder is only ever done in a
    // prefix whose folders are plain folders of its own.
    if (::_wgetenv(L"TIDEWELL_SANDBOX") == nullptr) {
        return false;
    }
    for (int id : {5, 6, 8, 32, 33, 34}) {
        const DWORD a = ::GetFileAttributesW(toUtf16(specialFolder(id)).c_str());
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return false;
        }
    }
    return true;
}

class CleaningE2E : public ::testing::Test {
protected:
    void SetUp() override {
        clearStored();
        // The browser's own keys exist on a real system; the program writes
        // only into existing keys.
        setUserString(kIeMain, L"Start Page", L"http://start.example");
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kIeMain, L"Disable Script Debugger");
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kIeMain, L"Disable Script DebuggerX");
        setUserString(kAutoComplete, L"AutoSuggest", L"yes");
    }
    void TearDown() override { clearStored(); }
    void clearStored() {
        for (const wchar_t* k : {kOptionsKey, kHomePageKey, kBrowseFileKey}) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, k);
        }
    }
    void storeAllOptions(const char* value) {
        for (int i = 0; i < 16; ++i) {
            store.SaveSetting(kApp, "Settings", "Index" + std::to_string(i), value);
        }
    }
    win32::RegistrySettingsStore store;
};

TEST_F(CleaningE2E, FirstStartShowsCaptionsAndDefaultsWritesNothingAndChoicesSurviveARestart) {
    {
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_THAT(optionStates(main),
                    ::testing::ElementsAre(1, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0));
        EXPECT_FALSE(keyExists(kOptionsKey)) << "a first start writes no option";
        EXPECT_EQ(controlText(main, IDC_TXTHOMEPAGEURL), "about:blank");
        EXPECT_EQ(userString(kIeMain, L"Start Page"), "about:blank");
        EXPECT_EQ(boxState(main, IDC_CHKWEBADDRESS), BST_UNCHECKED) << "AutoSuggest reads yes";
        EXPECT_EQ(userString(kAutoComplete, L"AutoSuggest"), "yes");
        // The captions, and the order of the options on each sub-tab.
        for (int i = 0; i < kOptionCount; ++i) {
            EXPECT_EQ(controlText(main, IDC_CHKSETTINGS_0 + i),
                      kCleaningOptions[static_cast<size_t>(i)].caption)
                << i;
        }
        EXPECT_EQ(controlText(main, IDC_CHKWEBADDRESS), "Erase Auto Complete Web &Addresses");
        EXPECT_EQ(controlText(main, IDC_CMDHOMEPAGE), "&Set Home Page");
        EXPECT_EQ(controlText(main, IDC_CMDDEFAULTSETTINGS), "&Default");
        EXPECT_EQ(controlText(main, IDC_CMDBROWSEFILE), "Browse &File");
        EXPECT_EQ(controlText(main, IDC_CMDBROWSEFOLDERTODELETE), "Browse F&older");
        EXPECT_EQ(tabCaption(findControl(main, IDC_TABOPTIONS), 0), "Windows");
        EXPECT_EQ(tabCaption(findControl(main, IDC_TABOPTIONS), 1), "Internet");
        // Top to bottom on each sub-tab.
        auto top = [&](int id) {
            RECT r{};
            ::GetWindowRect(findControl(main, id), &r);
            return r.top;
        };
        const std::vector<int> windows = {1, 5, 10, 11, 4, 12, 13};
        const std::vector<int> internet = {2, 3, 6, 7, 8, 9, -1, 14, 15};
        for (const auto* order : {&windows, &internet}) {
            for (size_t i = 1; i < order->size(); ++i) {
                auto id = [](int o) { return o < 0 ? IDC_CHKWEBADDRESS : IDC_CHKSETTINGS_0 + o; };
                EXPECT_LT(top(id((*order)[i - 1])), top(id((*order)[i]))) << (*order)[i];
            }
        }

        toggle(main, IDC_CHKSETTINGS_9);
        toggle(main, IDC_CHKSETTINGS_12);
        toggle(main, IDC_CHKWEBADDRESS);
        ::SendMessageW(findControl(main, IDC_TXTHOMEPAGEURL), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"http://home.example/\u00e9"));
        click(findControl(main, IDC_CMDHOMEPAGE));
        ASSERT_TRUE(
            waitFor([&] { return store.GetSetting(kApp, "Settings", "Index12", "") == "1"; }));
        ASSERT_TRUE(waitFor(
            [&] { return userString(kIeMain, L"Start Page") == "http://home.example/\xc3\xa9"; }));
        EXPECT_EQ(store.GetSetting(kApp, "Settings", "Index9", ""), "0");
        EXPECT_EQ(store.GetSetting("Tidewell", "HomePage", "StartPage", ""),
                  "http://home.example/\xc3\xa9");
        EXPECT_EQ(userString(kAutoComplete, L"AutoSuggest"), "no");
        EXPECT_EQ(exitWithButton(p, main), 0);
    }
    setUserString(kIeMain, L"Start Page", L"http://hijacked.example");
    {
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_THAT(optionStates(main),
                    ::testing::ElementsAre(1, 1, 1, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0, 0));
        EXPECT_EQ(userString(kIeMain, L"Start Page"), "http://home.example/\xc3\xa9")
            << "re-imposed at start";
        EXPECT_EQ(boxState(main, IDC_CHKWEBADDRESS), BST_CHECKED);
        click(findControl(main, IDC_CMDDEFAULTSETTINGS));
        ASSERT_TRUE(
            waitFor([&] { return store.GetSetting(kApp, "Settings", "Index9", "") == "1"; }));
        EXPECT_EQ(boxState(main, IDC_CHKSETTINGS_12), BST_CHECKED) << "Default leaves 12 alone";
        EXPECT_EQ(exitWithButton(p, main), 0);
    }
}

TEST_F(CleaningE2E, RealCleanWithEveryOptionErasesTheTracesAndNothingBeyondTheLinks) {
    if (!inSandbox()) {
        GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
    }
    // Paths first: they are read before any Linux program is started.
    std::map<int, std::string> folders;
    for (int id : {5, 6, 8, 32, 33, 34}) {
        folders[id] = specialFolder(id);
        ASSERT_FALSE(folders[id].empty()) << id;
    }
    wchar_t tempBuffer[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tempBuffer);
    std::string temp = toUtf8(tempBuffer);
    temp.pop_back();
    const std::string canary = "C:\\h3canary";
    removeTree(canary);
    mkdir(canary + "\\inner");
    writeText(canary + "\\keep.txt", "canary");
    writeText(canary + "\\inner\\keep2.txt", "canary");

    std::vector<std::string> gone, kept;
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
    }
    mkdir(folders[34] + "\\History.IE5");
    writeText(folders[34] + "\\History.IE5\\index.dat", "idx",
              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    writeText(folders[33] + "\\index.dat", "idx", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    gone.push_back(folders[33] + "\\index.dat");
    writeText(temp + "\\trace.tmp", "t");
    gone.push_back(temp + "\\trace.tmp");

    // Something for the recycle bin (the sandbox's own trash).
    writeText("C:\\binned.txt", std::string(3000, 'b'));
    std::wstring from = L"C:\\binned.txt";
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
    ASSERT_EQ(::SHFileOperationW(&op), 0);

    setUserString(kTypedUrls, L"url1", L"http://visited.example");
    setUserString((std::wstring(kTypedUrls) + L"\\Sub").c_str(), L"x", L"y");
    setUserString(kRunMru, L"a", L"regedit\\1");
    setUserString(kRunMru, L"MRUList", L"a");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, 16);
    std::memcpy(::GlobalLock(mem), L"secret", 14);
    ::GlobalUnlock(mem);
    ::SetClipboardData(CF_UNICODETEXT, mem);
    ::CloseClipboard();

    for (int id : {34, 32, 5}) {
        link(folders[id] + "\\canarylink", canary);
    }
    link(folders[8] + "\\sub8\\innerlink", canary + "\\inner");
    link(temp + "\\canarylink", canary);
    mkdir(canary + "\\empty");
    link(temp + "\\emptylink", canary + "\\empty");
    linkTo(temp + "\\filelink.txt", canary + "\\keep.txt");
    linkTo(folders[33] + "\\filelink.txt", canary + "\\inner\\keep2.txt");

    storeAllOptions("1");
    ProgramProcess p;
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_THAT(optionStates(main), ::testing::Each(1));
    click(findControl(main, IDC_CMDBASICCLEAN));
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string t = paneText(main);
            return t.size() > 6 && t.compare(t.size() - 6, 6, "\r\nDone") == 0;
        },
        90s))
        << paneText(main);
    EXPECT_EQ(controlText(main, IDC_LBLSTATUS), "Ready");
    EXPECT_TRUE(std::regex_match(controlText(main, IDC_LBLLASTRUNTIME),
                                 std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")));

    // The pane, line by line with colours.
    std::vector<PaneLine> lines = paneLines(main);
    std::vector<std::pair<COLORREF, std::string>> expected = {
        {kBlue, "Path: " + folders[34]},
        {kBlue, "Path: " + folders[32]},
        {kBlue, "Path: " + folders[33]},
        {kBlue, "Erasing Windows' index.dat Files ..."},
        {kGreen, "Finished Erasing Windows' index.dat Files (2 found)"},
    };
    auto folderTarget = [&](const std::string& path, const std::string& message) {
        expected.push_back({kBlue, "Path: " + path});
        expected.push_back({kBlue, message + " ..."});
        expected.push_back({kGreen, "Finished " + message});
    };
    folderTarget("HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs",
                 "Erasing 'Auto Complete' Site Addresses");
    folderTarget(folders[8], "Erasing Recent Files");
    folderTarget(folders[5], "Erasing My Documents Files");
    folderTarget("Recycle Bin (all drives)", "Erasing Contents of Recycle Bin");
    folderTarget(folders[32], "Erasing Internet Cashe");
    folderTarget(folders[33], "Erasing Browser Cookies");
    folderTarget(folders[6], "Erasing Browser Favorites");
    folderTarget(folders[34], "Erasing Internet History");
    folderTarget(temp, "Erasing Windows Temporary Files");
    folderTarget(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
        "Erasing Windows Start Run History");
    ASSERT_EQ(lines.size(), expected.size() + 3) << paneText(main);
    EXPECT_EQ(lines[0].text, "");
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i + 1].text, expected[i].second) << "line " << i + 1;
        EXPECT_EQ(lines[i + 1].colour, expected[i].first)
            << "line " << i + 1 << ": " << lines[i + 1].text;
    }
    EXPECT_EQ(lines[lines.size() - 2].colour, kGreen);
    EXPECT_THAT(lines[lines.size() - 2].text,
                ::testing::StartsWith("Space freed on your Hard Drive: "));
    EXPECT_EQ(lines.back().text, "Done");
    EXPECT_EQ(lines.back().colour, kBlack);
    for (const auto& l : lines) {
        EXPECT_NE(l.colour, kRed) << l.text;
    }

    for (const auto& f : gone) {
        EXPECT_FALSE(exists(f)) << f;
    }
    for (const auto& f : kept) {
        EXPECT_TRUE(exists(f)) << f;
    }
    for (const auto& [id, folder] : folders) {
        EXPECT_TRUE(exists(folder)) << "the folder itself stays: " << folder;
    }
    EXPECT_TRUE(exists(temp));
    EXPECT_FALSE(exists(folders[34] + "\\History.IE5"));
    EXPECT_TRUE(exists(canary + "\\keep.txt"));
    EXPECT_TRUE(exists(canary + "\\inner\\keep2.txt"));
    EXPECT_TRUE(exists(canary + "\\empty"));
    EXPECT_FALSE(keyExists(kTypedUrls));
    EXPECT_FALSE(keyExists(kRunMru));
    EXPECT_EQ(userString(kIeMain, L"Disable Script Debugger"), "yes");
    EXPECT_EQ(userString(kIeMain, L"Disable Script DebuggerX"), "yes");
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
    for (const char* name : {"\\canarylink", "\\emptylink", "\\filelink.txt"}) {
        removeTree(temp + name);
    }
    removeTree(folders[33] + "\\filelink.txt");
    removeTree(canary);
}

const wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Each layout is one environment variable or one registry value away from a
// normal machine; one default Basic Clean must lose no canary and say which
// folder it refused.
TEST_F(CleaningE2E, DangerousLayoutsLoseNoCanaryAndNameTheRefusedFolder) {
    if (!inSandbox()) {
        GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
    }
    const std::string profile = specialFolder(CSIDL_PROFILE), docs = specialFolder(5);
    const std::vector<std::string> canaries = {
        profile + "\\canary.txt", docs + "\\canary.txt", docs + "\\web\\index.dat",
        specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\canary.txt",
        specialFolder(CSIDL_APPDATA) + "\\canary.txt", "C:\\canary.txt"};
    for (const std::string& c : canaries) {
        mkdir(c.substr(0, c.find_last_of('\\')));
        writeText(c, "canary");
    }
    struct Layout {
        const wchar_t* shellFolder; // nullptr: TEMP and TMP
        std::string folder;
    };
    const Layout layouts[] = {{nullptr, profile},        {nullptr, "C:\\"},
                              {nullptr, docs},           {L"Cookies", profile},
                              {L"History", docs},        {L"Recent", "C:\\"}};
    wchar_t temp[MAX_PATH] = {}, tmp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    ::GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    for (const Layout& l : layouts) {
        const std::wstring value = toUtf16(l.folder);
        std::string shown = l.folder;
        if (l.shellFolder == nullptr) {
            ::SetEnvironmentVariableW(L"TEMP", value.c_str());
            ::SetEnvironmentVariableW(L"TMP", value.c_str());
            if (shown.back() == '\\') {
                shown.pop_back(); // the temporary path loses its last character
            }
        } else {
            setUserString(kUserShellFolders, l.shellFolder, value);
            setUserString(kShellFolders, l.shellFolder, value);
        }
        {
            ProgramProcess p;
            ::SetEnvironmentVariableW(L"TEMP", temp);
            ::SetEnvironmentVariableW(L"TMP", tmp);
            HWND main = p.waitMainWindow();
            ASSERT_NE(main, nullptr);
            click(findControl(main, IDC_CMDBASICCLEAN));
            EXPECT_TRUE(waitFor([&] { return paneText(main).find("\r\nDone") != std::string::npos; },
                                60s))
                << paneText(main);
            EXPECT_THAT(paneLines(main),
                        ::testing::Contains(::testing::FieldsAre(
                            kRed, "Not erased: " + shown + " is not a folder this option may empty")))
                << paneText(main);
            EXPECT_EQ(exitWithButton(p, main), 0);
        }
        if (l.shellFolder != nullptr) {
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, l.shellFolder);
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, l.shellFolder);
        }
        for (const std::string& c : canaries) {
            EXPECT_EQ(readText(c), "canary") << c << " lost with " << shown;
        }
    }
    for (const std::string& c : canaries) {
        ::DeleteFileW(toUtf16(c).c_str());
    }
}

// A bad stored option stops only the restoring of options: the tray icon,
// "Ready" and the clean run still come up.
TEST_F(CleaningE2E, AStoredOptionThatIsNotANumberStopsOnlyTheOptions) {
    store.SaveSetting(kApp, "Settings", "Index3", "abc");
    ProgramProcess p;
    HWND box = waitMessageBox(p, "Tidewell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Error: 13 - Type mismatch");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(waitFor([&] { return controlText(main, IDC_LBLSTATUS) == "Ready"; }));
    EXPECT_TRUE(waitFor([&] { return trayIcons().size() == 1; })) << "the tray icon";
    EXPECT_FALSE(::IsWindowEnabled(findControl(main, IDC_CMDAPPLY)));
    click(findControl(main, IDC_CMDBASICCLEAN));
    EXPECT_TRUE(waitFor([&] { return paneText(main).find("\r\nDone") != std::string::npos; }, 60s));
    EXPECT_EQ(exitWithButton(p, main), 0);
}

// Exit during a long clean or folder erase ends the program at the next file.
TEST_F(CleaningE2E, ExitDuringACleanOrAFolderEraseStopsAndEnds) {
    if (!inSandbox()) {
        GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
    }
    wchar_t tempBuffer[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tempBuffer);
    const std::string temp = toUtf8(tempBuffer);
    const std::string folders[] = {temp + "h3exit", "C:\\h3exit"};
    storeAllOptions("0");
    store.SaveSetting(kApp, "Settings", "Index11", "1");
    for (const std::string& folder : folders) {
        for (int d = 0; d < 20; ++d) {
            mkdir(folder + "\\d" + std::to_string(d));
            for (int f = 0; f < 200; ++f) {
                writeText(folder + "\\d" + std::to_string(d) + "\\f" + std::to_string(f), "x");
            }
        }
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        if (folder == folders[0]) {
            click(findControl(main, IDC_CMDBASICCLEAN));
        } else {
            click(findControl(main, IDC_CMDBROWSEFOLDERTODELETE));
            HWND dialog = nullptr;
            ASSERT_TRUE(waitFor([&] { return (dialog = findMessageBox(p)) != nullptr; }));
            ::Sleep(300);
            std::wstring target = toUtf16(folder);
            target.push_back(L'\0');
            sendWithBuffer(dialog, BFFM_SETSELECTIONW, TRUE, target.data(),
                           target.size() * sizeof(wchar_t));
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            HWND box = waitMessageBox(p, "Delete Folder");
            ASSERT_NE(box, nullptr);
            answerMessageBox(p, box, IDYES);
        }
        // The wipe takes the subfolders in the file system's order.
        auto subfolders = [&] {
            int n = 0;
            for (int d = 0; d < 20; ++d) {
                n += exists(folder + "\\d" + std::to_string(d)) ? 1 : 0;
            }
            return n;
        };
        ASSERT_TRUE(waitFor([&] { return subfolders() < 20; }, 20s)) << "it started";
        EXPECT_EQ(exitWithButton(p, main), 0);
        EXPECT_GT(subfolders(), 10) << "it stopped at the next file";
        removeTree(folder);
    }
}

TEST_F(CleaningE2E, PendingScheduleEditsKeepBasicCleanFromRunningAndCleanAndRebootAsks) {
    storeAllOptions("0");
    ProgramProcess p;
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);
    selectComboItem(findControl(main, IDC_CMBDAYS), 10);
    ASSERT_TRUE(::IsWindowEnabled(findControl(main, IDC_CMDAPPLY)));
    ::SendMessageW(findControl(main, IDC_RTFMESSAGE), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"marker"));
    click(findControl(main, IDC_CMDBASICCLEAN));
    ::Sleep(800);
    EXPECT_EQ(paneText(main), "marker") << "nothing at all while an edit is pending";
    EXPECT_EQ(controlText(main, IDC_LBLLASTRUNTIME), "##:##:##");

    ::SendMessageW(findControl(main, IDC_CMDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !::IsWindowEnabled(findControl(main, IDC_CMDAPPLY)); }));
    click(findControl(main, IDC_CMDBASICCLEAN));
    ASSERT_TRUE(waitFor([&] { return paneText(main) == "\r\nDone"; })) << paneText(main);
    EXPECT_TRUE(std::regex_match(controlText(main, IDC_LBLLASTRUNTIME),
                                 std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")));
    EXPECT_EQ(controlText(main, IDC_LBLSTATUS), "Ready");

    // "Clean && Reboot" cleans, then asks; No keeps the session.
    ::SendMessageW(findControl(main, IDC_RTFMESSAGE), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"marker"));
    EXPECT_EQ(controlText(main, IDC_CMDCLEANREBOT), "Clean && &Reboot");
    click(findControl(main, IDC_CMDCLEANREBOT));
    HWND box = waitMessageBox(p, "Tidewell v1.0");
    ASSERT_NE(box, nullptr);
    EXPECT_THAT(messageBoxText(box),
                ::testing::HasSubstr("unsaved work in other programs will be lost"));
    EXPECT_NE(::GetWindowLongW(::GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON, 0)
        << "No is the default";
    EXPECT_EQ(paneText(main), "\r\nDone") << "the clean ran first";
    ASSERT_TRUE(answerMessageBox(p, box, IDNO));
    ::Sleep(300);
    EXPECT_TRUE(p.running()) << "No never logs off";
    EXPECT_EQ(exitWithButton(p, main), 0);
}

TEST_F(CleaningE2E, ShredAndFolderEraseThroughTheirDialogs) {
    const std::string root = "C:\\h3adv \xc3\xbc";
    const std::string canary = "C:\\h3canary2";
    removeTree(root);
    removeTree(canary);
    mkdir(root + "\\erase\\sub");
    mkdir(canary);
    writeText(canary + "\\keep.txt", "canary");
    const std::string secret = root + "\\secret \xe6\x97\xa5.txt";
    writeText(secret, std::string(5000, 'S'), FILE_ATTRIBUTE_READONLY);
    writeText(root + "\\erase\\a.txt", "a");
    writeText(root + "\\erase\\sub\\b.txt", "b");
    link(root + "\\erase\\sub\\tocanary", canary);

    ProgramProcess p;
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);

    // Shred: the file dialog, the question, then the file is gone.
    click(findControl(main, IDC_CMDBROWSEFILE));
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor([&] {
        dialog = findMessageBox(p);
        return dialog != nullptr && ::GetDlgItem(dialog, 0x47c) != nullptr;
    }));
    ::SendMessageW(::GetDlgItem(dialog, 0x47c), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(toUtf16(secret).c_str()));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    HWND box = waitMessageBox(p, "Delete File");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Are you sure?");
    answerMessageBox(p, box, IDYES);
    ASSERT_TRUE(waitFor([&] { return !exists(secret); })) << paneText(main);
    ASSERT_TRUE(waitFor([&] { return paneText(main).find("Finished") != std::string::npos; }));
    EXPECT_EQ(paneText(main), "Deleting File " + secret + " ...\r\nOverwriting File " + secret +
                                  " ...\r\nDeleting File " + secret + " ...\r\nFinished");
    EXPECT_EQ(store.GetSetting("Tidewell", "BrowseFile", "Path", ""), root);

    // Folder erase: the folder browser, the question, then its contents go.
    click(findControl(main, IDC_CMDBROWSEFOLDERTODELETE));
    ASSERT_TRUE(waitFor([&] {
        dialog = findMessageBox(p);
        return dialog != nullptr;
    }));
    ::Sleep(300);
    std::wstring target = toUtf16(root + "\\erase");
    target.push_back(L'\0');
    sendWithBuffer(dialog, BFFM_SETSELECTIONW, TRUE, target.data(),
                   target.size() * sizeof(wchar_t));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    box = waitMessageBox(p, "Delete Folder");
    ASSERT_NE(box, nullptr);
    answerMessageBox(p, box, IDYES);
    ASSERT_TRUE(waitFor([&] {
        return paneText(main).find("Finished Erasing Selected Folder") != std::string::npos;
    })) << paneText(main);
    EXPECT_EQ(paneText(main),
              "\r\nPath: " + root +
                  "\\erase\r\nErasing Selected Folder ...\r\nFinished Erasing Selected Folder");
    EXPECT_TRUE(exists(root + "\\erase"));
    EXPECT_FALSE(exists(root + "\\erase\\a.txt"));
    EXPECT_FALSE(exists(root + "\\erase\\sub\\b.txt"));
    EXPECT_TRUE(exists(canary + "\\keep.txt"));
    EXPECT_EQ(exitWithButton(p, main), 0);
    removeTree(root);
    removeTree(canary);
}

} // namespace

// The folder wipe, the shredder's file primitives and the erase targets'
// system calls on real files, keys, clipboard and recycle bin under Wine.
// Links are made from the Linux side (Wine cannot make them itself); a canary
// folder outside the tree sits behind every link and must survive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <string>

#include "test_files.h"
#include "../unit/cleaning_fakes.h"
#include "cleaning/advanced_commands.h"
#include "cleaning/cleaning_platform_win32.h"
#include "cleaning/erase_targets.h"
#include "cleaning/file_system_win32.h"
#include "cleaning/wipe.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

using namespace tidewell;
using namespace tidewell::testing;
using namespace tidewell::win32;
using namespace tidewell::testing_files;

namespace {

const std::string kRoot = "C:\\h3wipe";
const wchar_t kHoldEnv[] = L"TIDEWELL_TEST_HOLD_FILE";

DWORD runAndWait(const std::wstring& application, std::wstring commandLine);
bool underWine();

// Wine starts Linux programs but gives no handle to wait on: poll for the effect.
template <typename F> bool pollFor(F&& done) {
    for (int i = 0; i < 400; ++i) {
        if (done()) {
            return true;
        }
        ::Sleep(25);
    }
    return false;
}

void removeTree(const std::string& p) {
    // Not with the wipe under test, and never through a link: rm -rf removes
    // a link itself; on Windows rmdir /s does the same.
    if (!exists(p)) {
        return; // a late rm would race the next test's set-up
    }
    if (underWine()) {
        runAndWait(L"\\\\?\\unix\\bin\\rm", L"rm -rf \"" + toUtf16(unixPath(p)) + L"\"");
        EXPECT_TRUE(pollFor([&] { return !exists(p); })) << "rm -rf " << p;
    } else {
        runAndWait(L"", L"cmd.exe /c rmdir /s /q \"" + toUtf16(p) + L"\" 2>nul");
    }
}

using UnixNameFn = char*(CDECL*)(LPCWSTR);
UnixNameFn wineUnixName() {
    FARPROC f = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    return reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(f));
}

bool underWine() {
    return wineUnixName() != nullptr;
}

DWORD runAndWait(const std::wstring& application, std::wstring commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), commandLine.data(),
                          nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        return ::GetLastError() | 0x10000;
    }
    ::WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

// A directory link at `link` to `target`: a Linux symlink under Wine (which
// flags it as a reparse point), a symbolic link or junction on Windows.
void makeDirectoryLink(const std::string& link, const std::string& target) {
    if (wineUnixName() != nullptr) {
        runAndWait(L"\\\\?\\unix\\bin\\ln", L"ln -s \"" + toUtf16(unixPath(target)) + L"\" \"" +
                                                toUtf16(unixPath(link)) + L"\"");
        ASSERT_TRUE(pollFor([&] { return exists(link); })) << "ln -s for " << link;
    } else if (!::CreateSymbolicLinkW(toUtf16(link).c_str(), toUtf16(target).c_str(),
                                      SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2)) {
        ASSERT_EQ(runAndWait(L"", L"cmd.exe /c mklink /J \"" + toUtf16(link) + L"\" \"" +
                                      toUtf16(target) + L"\""),
                  0u);
    }
    ASSERT_NE(attributes(link) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
        << link << " is not flagged as a link";
}

// A second process that holds a file open without delete sharing: this same
// test program, started on the helper test below.
class FileHolder {
public:
    explicit FileHolder(const std::string& path) {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring source = self;
        if (source.rfind(L"unix\\", 0) == 0) {
            source = L"\\\\?\\" + source; // Wine names a program started by its Linux path so
        }
        // Started from a Linux path, the program cannot start itself by that
        // name: a copy inside the prefix can.
        ::CreateDirectoryW(L"C:\\h3helper", nullptr);
        const wchar_t* exe = L"C:\\h3helper\\cleaning_helper.exe";
        EXPECT_TRUE(::CopyFileW(source.c_str(), exe, FALSE)) << ::GetLastError();
        ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, L"Local\\TidewellTestHoldReady"));
        release_.reset(::CreateEventW(nullptr, TRUE, FALSE, L"Local\\TidewellTestHoldRelease"));
        ::SetEnvironmentVariableW(kHoldEnv, toUtf16(path).c_str());
        std::wstring cmd =
            L"\"" + std::wstring(exe) + L"\" --gtest_filter=CleaningHelper.HoldFileOpen";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        const BOOL started = ::CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE,
                                              CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
        ::SetEnvironmentVariableW(kHoldEnv, nullptr);
        EXPECT_TRUE(started);
        if (started) {
            ::CloseHandle(pi.hThread);
            process_.reset(pi.hProcess);
            EXPECT_EQ(::WaitForSingleObject(ready_.get(), 20000), WAIT_OBJECT_0)
                << "helper did not open the file";
        }
    }
    ~FileHolder() {
        ::SetEvent(release_.get());
        if (process_) {
            ::WaitForSingleObject(process_.get(), 10000);
        }
    }

private:
    UniqueHandle ready_, release_, process_;
};

TEST(CleaningHelper, HoldFileOpen) {
    wchar_t path[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kHoldEnv, path, MAX_PATH) == 0) {
        GTEST_SKIP() << "only runs as the helper of the locked-file tests";
    }
    UniqueFile file(
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\TidewellTestHoldReady"));
    UniqueHandle release(::OpenEventW(SYNCHRONIZE, FALSE, L"Local\\TidewellTestHoldRelease"));
    ASSERT_TRUE(ready && release);
    ::SetEvent(ready.get());
    ::WaitForSingleObject(release.get(), 60000);
}

// These run before the link tests: under Wine 8, once this process has
// started the Linux ln and rm a few times, the shell's special-folder lookups
// in it fail with "file not found" (seen here, not understood).
TEST(CleaningPlatform, SpecialFoldersTempPathAndKeys) {
    Win32CleaningPlatform platform;
    for (int id : {5, 6, 8, 32, 33, 34}) {
        EXPECT_THAT(platform.GetSpecialFolder(id), ::testing::StartsWith("C:\\")) << id;
    }
    EXPECT_EQ(platform.GetSpecialFolder(0x7777), "");
    const std::string temp = platform.TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(tempFolderFrom(temp), temp.substr(0, temp.size() - 1));

    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER,
                                L"Software\\Microsoft\\Internet Explorer\\TypedURLs\\Sub", 0,
                                nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    platform.DeleteUserKeyTree(kTypedUrlsKey);
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Internet Explorer\\TypedURLs", 0, KEY_READ,
                              &key),
              ERROR_SUCCESS);
    platform.DeleteUserKeyTree(kTypedUrlsKey); // absent: silent
    EXPECT_FALSE(readUserString(kTypedUrlsKey, "url1").has_value());
}

TEST(CleaningPlatform, ClipboardAndRecycleBinAreEmptied) {
    Win32CleaningPlatform platform;
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, 16);
    std::memcpy(::GlobalLock(mem), L"secret", 14);
    ::GlobalUnlock(mem);
    ::SetClipboardData(CF_UNICODETEXT, mem);
    ::CloseClipboard();
    ASSERT_TRUE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
    platform.EmptyClipboard();
    EXPECT_FALSE(::IsClipboardFormatAvailable(CF_UNICODETEXT));

    mkdir(kRoot);
    const std::string trashed = kRoot + "\\trashed.txt";
    writeText(trashed, std::string(5000, 'x'));
    std::wstring from = toUtf16(trashed) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
    ASSERT_EQ(::SHFileOperationW(&op), 0);
    EXPECT_GE(platform.RecycleBinBytes(), 5000u);
    platform.EmptyRecycleBin();
    EXPECT_EQ(platform.RecycleBinBytes(), 0u);
    platform.EmptyRecycleBin(); // already empty: no failure
    removeTree(kRoot);
}

class RealWipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        removeTree(kRoot);
        mkdir(kRoot);
        mkdir(tree);
        mkdir(canary);
        mkdir(canary + "\\inner");
        writeText(canary + "\\keep.txt", "canary");
        writeText(canary + "\\inner\\keep2.txt", "canary", FILE_ATTRIBUTE_READONLY);
    }
    void TearDown() override { removeTree(kRoot); }
    bool canaryIntact() {
        return readText(canary + "\\keep.txt") == "canary" &&
               readText(canary + "\\inner\\keep2.txt") == "canary";
    }

    const std::string tree = kRoot + "\\tree";
    const std::string canary = kRoot + "\\canary";
    Win32FileSystem fs;
    FakePane pane;
    int yields = 0;
    FolderWiper wiper{fs, pane, [this] { ++yields; }};
};

TEST_F(RealWipeTest, WipesContentsKeepsTopHiddenSystemLockedAndEveryLinkTarget) {
    const std::string unicodeName =
        tree + "\\\xc3\xa9t\xc3\xa9 \xe2\x9c\x93 \xe6\x97\xa5\xe8\xa8\x98.txt";
    writeText(tree + "\\top.txt", "t");
    writeText(tree + "\\ro.txt", "r", FILE_ATTRIBUTE_READONLY);
    writeText(tree + "\\hid.txt", "h", FILE_ATTRIBUTE_HIDDEN);
    writeText(tree + "\\sys.txt", "s", FILE_ATTRIBUTE_SYSTEM);
    writeText(unicodeName, "u");
    mkdir(tree + "\\sub");
    writeText(tree + "\\sub\\a.txt", "a");
    writeText(tree + "\\sub\\hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    mkdir(tree + "\\sub\\deeper \xc3\xbc");
    writeText(tree + "\\sub\\deeper \xc3\xbc\\d.txt", "d", FILE_ATTRIBUTE_READONLY);
    mkdir(tree + "\\locked");
    writeText(tree + "\\locked\\l.txt", "l");
    writeText(tree + "\\locked\\other.txt", "o");
    makeDirectoryLink(tree + "\\linkdir", canary);
    makeDirectoryLink(tree + "\\sub\\link2", canary + "\\inner");
    makeDirectoryLink(tree + "\\locked\\link3", canary);

    {
        FileHolder holder(tree + "\\locked\\l.txt");
        wiper.WipeFolder(tree, tree);
    }

    EXPECT_TRUE(canaryIntact());
    EXPECT_TRUE(exists(canary + "\\inner"));
    EXPECT_TRUE(exists(tree));
    EXPECT_FALSE(exists(tree + "\\top.txt"));
    EXPECT_FALSE(exists(tree + "\\ro.txt"));
    EXPECT_FALSE(exists(unicodeName));
    EXPECT_TRUE(exists(tree + "\\hid.txt"));
    EXPECT_TRUE(exists(tree + "\\sys.txt"));
    EXPECT_FALSE(exists(tree + "\\sub\\a.txt"));
    EXPECT_FALSE(exists(tree + "\\sub\\hidden.txt")) << "hidden files go with their subfolder";
    EXPECT_FALSE(exists(tree + "\\sub\\deeper \xc3\xbc"));
    if (underWine()) {
        // Wine cannot remove a directory link: it is left, and so its folder.
        EXPECT_NE(attributes(tree + "\\sub\\link2") & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    } else {
        EXPECT_FALSE(exists(tree + "\\sub"));
        EXPECT_FALSE(exists(tree + "\\linkdir"));
    }
    EXPECT_TRUE(exists(tree + "\\locked\\l.txt"));
    EXPECT_FALSE(exists(tree + "\\locked\\other.txt"));
    EXPECT_EQ(pane.text(), "") << "nothing to report: locked files are passed over in silence";
    EXPECT_EQ(yields, 8) << "one per file met, locked or not, none per folder";
    EXPECT_EQ(wiper.stats().filesDeleted, 7u);
}

TEST_F(RealWipeTest, TopFolderThatIsALinkIsNotWipedThrough) {
    makeDirectoryLink(kRoot + "\\toplink", canary);
    wiper.WipeFolder(kRoot + "\\toplink", kRoot + "\\toplink");
    EXPECT_TRUE(canaryIntact());
    EXPECT_THAT(pane.text(), ::testing::HasSubstr("is a link"));
}

TEST_F(RealWipeTest, MissingFolderGivesTheSystemTextInRed) {
    wiper.WipeFolder(kRoot + "\\nope", kRoot + "\\nope");
    ASSERT_EQ(pane.runs.size(), 1u);
    EXPECT_EQ(pane.runs[0].colour, kErrorRed);
    EXPECT_THAT(pane.runs[0].text, ::testing::EndsWith("\r\n"));
    EXPECT_GT(pane.runs[0].text.size(), 4u);
    EXPECT_TRUE(canaryIntact());
}

TEST_F(RealWipeTest, ShredPrimitivesOverwriteInPlaceAndReportLockedFiles) {
    const std::string file = tree + "\\secret \xc3\xa9.txt";
    writeText(file, std::string(1000, 'S'), FILE_ATTRIBUTE_READONLY);
    fs.overwriteInPlace(file, kShredFiller);
    const std::string after = readText(file);
    ASSERT_EQ(after.size(), 1000u);
    EXPECT_EQ(after.substr(0, 166), kShredFiller);
    EXPECT_EQ(after.find('S'), std::string::npos);
    fs.writeFile(file, kShredFiller);
    EXPECT_EQ(readText(file), kShredFiller);
    fs.deleteFileOrThrow(file);
    EXPECT_FALSE(exists(file));

    const std::string busy = tree + "\\busy.txt";
    writeText(busy, "b", FILE_ATTRIBUTE_READONLY);
    FileHolder holder(busy);
    try {
        fs.deleteFileOrThrow(busy);
        ADD_FAILURE() << "a locked file was deleted";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 32);
    }
    EXPECT_NE(attributes(busy) & FILE_ATTRIBUTE_READONLY, 0u)
        << "a file that stays keeps its attributes";
}

} // namespace

// End to end: "Preview" on the real program with the default options over
// seeded traces changes nothing, its details list holds the seeded paths,
// and the clean run afterwards erases them and reports the same space.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "../win32/test_files.h"
#include "cleaning/cleaning_ids.h"
#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;
using ::testing::HasSubstr;

namespace {

const wchar_t kOptionsKey[] =
    L"Software\\VB and VBA Program Settings\\C:\\Program Files\\Tidewell\\Settings";
const wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";

std::string paneText(HWND main) {
    HWND pane = findControl(main, IDC_RTFMESSAGE);
    std::wstring text(static_cast<size_t>(::SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    ::SendMessageW(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return win32::toUtf8(text.c_str());
}

std::string clipboardText() {
    std::string out;
    if (::OpenClipboard(nullptr)) {
        if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
            out = win32::toUtf8(static_cast<const wchar_t*>(::GlobalLock(h)));
            ::GlobalUnlock(h);
        }
        ::CloseClipboard();
    }
    return out;
}

// The figure after `label` up to `end`, or "" when the pane lacks it.
std::string figure(const std::string& pane, const std::string& label, const std::string& end) {
    const size_t at = pane.find(label);
    return at == std::string::npos
               ? ""
               : pane.substr(at + label.size(), pane.find(end, at) - at - label.size());
}

TEST(PreviewE2E, PreviewChangesNothingListsTheTracesAndTheRunFreesWhatItShowed) {
    wchar_t buffer[MAX_PATH] = {};
    std::vector<std::string> seeded;
    for (int id : {8, 33, 34}) { // Recent, Cookies, History: on by default
        ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, buffer, id, FALSE));
        const std::string folder = win32::toUtf8(buffer);
        if (::_wgetenv(L"TIDEWELL_SANDBOX") == nullptr ||
            (attributes(folder) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
        }
        mkdir(folder + "\\pv" + std::to_string(id));
        seeded.push_back(folder + "\\pv" + std::to_string(id) + "\\trace.txt");
        writeText(seeded.back(), std::string(700u * id, 't'));
    }
    seeded.push_back(tempFolder() + "preview.tmp");
    writeText(seeded.back(), "t");
    writeText("C:\\pvbinned.txt", std::string(3000, 'b'));
    trash("C:\\pvbinned.txt");
    setUserString(kTypedUrls, L"url1", L"http://visited.example");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kOptionsKey); // the defaults

    ProgramProcess p;
    HWND main = p.waitMainWindow();
    ASSERT_NE(main, nullptr);
    click(findControl(main, IDC_CMDPREVIEW));
    ASSERT_TRUE(waitFor(
        [&] { return paneText(main).find("Nothing was erased.") != std::string::npos; }, 60s))
        << paneText(main);
    const std::string shown = paneText(main);
    const std::string total = figure(shown, "\r\nPreview: ", " in total.");
    ASSERT_NE(total, "") << shown;
    EXPECT_THAT(shown, HasSubstr("\r\nWould erase 1 values\r\n"));
    EXPECT_THAT(shown, HasSubstr("Path: Recycle Bin (all drives)\r\nWould erase 1 items, 2.9 KB"));
    for (const std::string& f : seeded) {
        EXPECT_TRUE(exists(f)) << f;
    }
    EXPECT_EQ(userString(kTypedUrls, L"url1"), "http://visited.example");

    // The details list, copied as text, names every seeded file.
    ASSERT_TRUE(::OpenClipboard(nullptr) && ::EmptyClipboard() && ::CloseClipboard());
    click(findControl(main, IDC_CMDDETAILS));
    HWND details = nullptr;
    ASSERT_TRUE(waitFor([&] { return (details = p.findWindow(L"#32770", true)) != nullptr; }));
    click(::GetDlgItem(details, IDC_CMDCOPYPREVIEW));
    ASSERT_TRUE(waitFor([] { return !clipboardText().empty(); }));
    const std::string copied = clipboardText();
    for (const std::string& f : seeded) {
        EXPECT_THAT(copied, HasSubstr(f + "\t")) << f;
    }
    click(::GetDlgItem(details, IDCANCEL));
    ASSERT_TRUE(waitFor([&] { return !::IsWindow(details); }));

    click(findControl(main, IDC_CMDBASICCLEAN));
    ASSERT_TRUE(waitFor([&] { return paneText(main).find("\r\nDone") != std::string::npos; }, 60s));
    for (const std::string& f : seeded) {
        EXPECT_FALSE(exists(f)) << f;
    }
    EXPECT_EQ(figure(paneText(main), "Space freed on your Hard Drive: ", "\r\n"),
              total.substr(total.find(", ") + 2))
        << paneText(main);
    EXPECT_EQ(exitWithButton(p, main), 0);
}

} // namespace

// End to end: the File Security tab of the real program. Validation messages,
// a file and a folder encrypted and decrypted through the panel and its
// dialogs, the progress bar and the Cancel button, nothing plain left behind,
// and the .cfy registration written once.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <fstream>
#include <string>
#include <vector>

#include "program_driver.h"
#include "shell/page_ids.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using tidewell::win32::toUtf16;

namespace {

std::wstring tempFolder() {
    wchar_t buffer[MAX_PATH];
    ::GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

std::vector<std::wstring> listing(const std::wstring& folder) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..")
            out.push_back(n);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    std::sort(out.begin(), out.end());
    return out;
}

std::string readAll(const std::wstring& path) {
    std::ifstream f(path.c_str(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void writeAll(const std::wstring& path, const std::string& data) {
    std::ofstream(path.c_str(), std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

void removeTree(const std::wstring& path) {
    for (const std::wstring& n : listing(path)) {
        std::wstring child = path + L"\\" + n;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (::GetFileAttributesW(child.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            removeTree(child);
        } else {
            ::DeleteFileW(child.c_str());
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

std::string registryDefault(HKEY root, const wchar_t* key) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(root, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "<absent>";
    return win32::toUtf8(value);
}

class FileSecurityE2E : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = tempFolder() + L"tidewell e2e \x00E9t\x00E9";
        removeTree(work_);
        ::CreateDirectoryW(work_.c_str(), nullptr);
        tempBefore_ = listing(tempFolder());
        program_ = std::make_unique<ProgramProcess>();
        main_ = program_->waitMainWindow();
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override {
        if (program_) {
            click(findControl(main_, IDC_CMDCLOSE));
            program_->waitExit();
        }
        removeTree(work_);
    }
    void setText(int id, const std::wstring& text) {
        ::SendMessageW(findControl(main_, id), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(text.c_str()));
    }
    void passwords(const std::wstring& a, const std::wstring& b) {
        setText(IDC_TXTPASSWORD, a);
        setText(IDC_TXTREENTER, b);
    }
    // Clicks, waits for the message box, checks and closes it.
    void expectMessage(int button, const std::string& text, const std::string& title) {
        click(findControl(main_, button));
        HWND box = nullptr;
        ASSERT_TRUE(waitFor([&] { return (box = findMessageBox(*program_)) != nullptr; })) << text;
        EXPECT_EQ(messageBoxText(box), text);
        EXPECT_EQ(e2e::text(box), title);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(waitFor([&] { return findMessageBox(*program_) == nullptr; }));
    }
    std::string caption(int id) { return controlText(main_, id); }
    bool idle() {
        return caption(IDC_CMDENCRYPT) == "Encrypt" && caption(IDC_CMDDECRYPT) == "Decrypt";
    }
    // Fills a field through its browse button and the common file dialog.
    void browseFile(int index, const std::wstring& path) {
        click(findControl(main_, IDC_CMDBROWSEFILEFOLDER_0 + index));
        HWND dialog = nullptr;
        ASSERT_TRUE(waitFor([&] { return (dialog = findMessageBox(*program_)) != nullptr; }));
        HWND name = nullptr;
        ASSERT_TRUE(waitFor([&] {
            name = ::GetDlgItem(dialog, 0x47c);
            if (name == nullptr)
                name = ::FindWindowExW(::FindWindowExW(dialog, nullptr, L"ComboBoxEx32", nullptr),
                                       nullptr, nullptr, nullptr);
            return name != nullptr;
        }));
        ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(waitFor([&] { return findMessageBox(*program_) == nullptr; }));
    }
    HWND focused() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(main_, nullptr), &info);
        return info.hwndFocus;
    }

    std::wstring work_;
    std::vector<std::wstring> tempBefore_;
    std::unique_ptr<ProgramProcess> program_;
    HWND main_ = nullptr;
};

TEST_F(FileSecurityE2E, ValidationMessagesInOrderAndFocusOnTheSourceButton) {
    EXPECT_EQ(caption(IDC_LBLFILEORFOLDER), "Click here to encrypt/decrypt an entire folder");
    EXPECT_EQ(caption(IDC_LBLSOURCEDESTINATION_0), "Source File:");
    EXPECT_FALSE(::IsWindowEnabled(findControl(main_, IDC_CMDDECRYPT)));
    expectMessage(IDC_CMDENCRYPT, "Empty is not vaid.", "Password");
    passwords(L"  ", L"x");
    expectMessage(IDC_CMDENCRYPT, "Empty is not vaid.", "Password");
    passwords(L"secret", L"Secret");
    expectMessage(IDC_CMDENCRYPT, "Unmatched passwords.", "Password");
    passwords(L" secret", L"secret ");
    expectMessage(IDC_CMDENCRYPT, "Source folder can not be blank.", "Invalid Source");
    EXPECT_TRUE(
        waitFor([&] { return focused() == findControl(main_, IDC_CMDBROWSEFILEFOLDER_0); }));
    setText(IDC_TXTSOURCE, work_ + L"\\a.txt");
    expectMessage(IDC_CMDENCRYPT, "Specify destination file.", "Invalid Destination File");
    writeAll(work_ + L"\\a.txt", "abc");
    setText(IDC_TXTDESTINATION,
            work_ + L"\\..\\" + work_.substr(work_.find_last_of(L'\\') + 1) + L"\\A.TXT");
    expectMessage(IDC_CMDENCRYPT,
                  "The destination is the source file itself. Choose another destination file.",
                  "Invalid Destination File");
    EXPECT_EQ(readAll(work_ + L"\\a.txt"), "abc");

    click(findControl(main_, IDC_LBLDECRYPT));
    EXPECT_TRUE(
        waitFor([&] { return ::IsWindowEnabled(findControl(main_, IDC_CMDDECRYPT)) != FALSE; }));
    EXPECT_EQ(caption(IDC_TXTSOURCE), "") << "a change of direction empties the paths";
    EXPECT_EQ(caption(IDC_TXTPASSWORD), " secret") << "but not the passwords";
    expectMessage(IDC_CMDDECRYPT, "Source file can not be blank.", "Tidewell");
    setText(IDC_TXTSOURCE, work_ + L"\\missing.cfy");
    expectMessage(IDC_CMDDECRYPT, "Destination file can not be blank.", "Tidewell");
    setText(IDC_TXTDESTINATION, work_ + L"\\out.txt");
    expectMessage(IDC_CMDDECRYPT, "Source file not found.", "Tidewell");
    click(findControl(main_, IDC_LBLFILEORFOLDER));
    EXPECT_TRUE(
        waitFor([&] { return caption(IDC_LBLSOURCEDESTINATION_1) == "Destination Folder:"; }));
    EXPECT_EQ(caption(IDC_LBLFILEORFOLDER), "Click here to encrypt/decrypt a single file");
    setText(IDC_TXTSOURCE, work_ + L"\\missing.cfy");
    expectMessage(IDC_CMDDECRYPT, "Destination folder can not be blank.", "Tidewell");
}

TEST_F(FileSecurityE2E, FileRoundTripThroughTheDialogsAndAWrongPassword) {
    std::string plain;
    for (int i = 0; i < 200000; ++i)
        plain += static_cast<char>(i * 31 + i / 7);
    const std::wstring source = work_ + L"\\\x65E5\x672C plain.bin";
    writeAll(source, plain);
    passwords(L"p\x00E4ss word", L"p\x00E4ss word");
    browseFile(0, source);
    browseFile(1, work_ + L"\\secret.cfy");
    EXPECT_EQ(caption(IDC_TXTDESTINATION), win32::toUtf8(work_ + L"\\secret.cfy"));
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor(
        [&] {
            return ::GetFileAttributesW((work_ + L"\\secret.cfy").c_str()) !=
                       INVALID_FILE_ATTRIBUTES &&
                   idle();
        },
        60s));
    EXPECT_EQ(findMessageBox(*program_), nullptr);

    click(findControl(main_, IDC_LBLDECRYPT));
    ASSERT_TRUE(
        waitFor([&] { return ::IsWindowEnabled(findControl(main_, IDC_CMDDECRYPT)) != FALSE; }));
    setText(IDC_TXTSOURCE, work_ + L"\\secret.cfy");
    setText(IDC_TXTDESTINATION, work_ + L"\\restored.bin");
    passwords(L"wrong", L"wrong");
    expectMessage(IDC_CMDDECRYPT, "Wrong password, or the file is damaged.", "Tidewell");
    EXPECT_EQ(::GetFileAttributesW((work_ + L"\\restored.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    // The decomposed spelling of the same password opens it.
    passwords(L"pa\x0308ss word", L"pa\x0308ss word");
    click(findControl(main_, IDC_CMDDECRYPT));
    ASSERT_TRUE(waitFor(
        [&] {
            return ::GetFileAttributesW((work_ + L"\\restored.bin").c_str()) !=
                       INVALID_FILE_ATTRIBUTES &&
                   idle();
        },
        60s));
    EXPECT_EQ(readAll(work_ + L"\\restored.bin"), plain);
    EXPECT_EQ(listing(work_), (std::vector<std::wstring>{L"restored.bin", L"secret.cfy",
                                                         L"\x65E5\x672C plain.bin"}));
    EXPECT_EQ(listing(tempFolder()), tempBefore_) << "nothing in the temporary folder";
}

TEST_F(FileSecurityE2E, FolderRoundTripWithProgressCancelAndNothingLeftBehind) {
    const std::wstring src = work_ + L"\\folder";
    ::CreateDirectoryW(src.c_str(), nullptr);
    ::CreateDirectoryW((src + L"\\sub").c_str(), nullptr);
    ::CreateDirectoryW((src + L"\\empty").c_str(), nullptr);
    // Text-like data and many small files: the stream lasts long enough
    // (a few hundred milliseconds under Wine) for the bar to be seen moving.
    std::string big;
    big.reserve(160u << 20);
    for (unsigned i = 0; big.size() < (160u << 20); ++i) {
        big += "line " + std::to_string(i * 2654435761u % 1000003u) + " of the folder test\r\n";
    }
    writeAll(src + L"\\big.bin", big);
    ::CreateDirectoryW((src + L"\\many").c_str(), nullptr);
    constexpr int kSmallFiles = 2000;
    for (int i = 0; i < kSmallFiles; ++i) {
        writeAll(src + L"\\many\\" + std::to_wstring(i) + L".txt", std::to_string(i * 7));
    }
    // Long enough that ciphertext can never hold it by chance (a 4-byte
    // word turns up in 160 MiB of random bytes a few times in a hundred).
    const std::string note = "note: plaintext that must not survive encryption";
    writeAll(src + L"\\sub\\note.txt", note);
    click(findControl(main_, IDC_LBLFILEORFOLDER));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_LBLSOURCEDESTINATION_0) == "Source Folder:"; }));
    setText(IDC_TXTSOURCE, src);
    setText(IDC_TXTDESTINATION, work_ + L"\\folder.cfy");
    passwords(L"pw", L"pw");

    // Cancel while it runs (during the key derivation, which takes a good
    // part of a second): the caption comes back and nothing is written.
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_CMDENCRYPT) == "Cancel"; }, 30s));
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return idle(); }, 30s));
    EXPECT_EQ(findMessageBox(*program_), nullptr) << "a cancel is silent";
    EXPECT_EQ(listing(work_), std::vector<std::wstring>{L"folder"});

    // Again to the end, watching the bar move: polled without pause, as the
    // stream itself is short.
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_CMDENCRYPT) == "Cancel"; }, 30s));
    const HWND bar = findControl(main_, IDC_PGB);
    LRESULT highest = 0;
    const auto end = std::chrono::steady_clock::now() + 120s;
    while (!idle() && std::chrono::steady_clock::now() < end) {
        highest = std::max(highest, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
    }
    ASSERT_TRUE(idle());
    EXPECT_GT(highest, 0);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(listing(work_), (std::vector<std::wstring>{L"folder", L"folder.cfy"}));
    const std::string sealed = readAll(work_ + L"\\folder.cfy");
    EXPECT_EQ(sealed.find(note), std::string::npos);
    EXPECT_EQ(sealed.find(" of the folder test\r\n"), std::string::npos);

    click(findControl(main_, IDC_LBLDECRYPT));
    ASSERT_TRUE(
        waitFor([&] { return caption(IDC_LBLSOURCEDESTINATION_1) == "Destination Folder:"; }));
    setText(IDC_TXTSOURCE, work_ + L"\\folder.cfy");
    setText(IDC_TXTDESTINATION, work_ + L"\\restored");
    click(findControl(main_, IDC_CMDDECRYPT));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_CMDDECRYPT) == "Cancel"; }, 30s));
    ASSERT_TRUE(waitFor([&] { return idle(); }, 120s));
    EXPECT_EQ(findMessageBox(*program_), nullptr);
    EXPECT_EQ(readAll(work_ + L"\\restored\\big.bin"), big);
    EXPECT_EQ(readAll(work_ + L"\\restored\\sub\\note.txt"), note);
    EXPECT_EQ(listing(work_ + L"\\restored"),
              (std::vector<std::wstring>{L"big.bin", L"empty", L"many", L"sub"}));
    EXPECT_EQ(listing(work_ + L"\\restored\\many").size(), std::size_t{kSmallFiles});
    EXPECT_EQ(readAll(work_ + L"\\restored\\many\\1999.txt"), std::to_string(1999 * 7));
    EXPECT_EQ(listing(tempFolder()), tempBefore_) << "no work file, plain or not";
}

// Exit while a run works (here while the key is derived): the run stops and
// undoes itself, the previous destination stays, and the program ends.
TEST_F(FileSecurityE2E, ExitWhileEncryptingKeepsThePreviousFileAndEnds) {
    writeAll(work_ + L"\\plain.txt", "plain");
    writeAll(work_ + L"\\plain.cfy", "previous");
    setText(IDC_TXTSOURCE, work_ + L"\\plain.txt");
    setText(IDC_TXTDESTINATION, work_ + L"\\plain.cfy");
    passwords(L"pw", L"pw");
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_CMDENCRYPT) == "Cancel"; }, 30s));
    EXPECT_EQ(exitWithButton(*program_, main_), 0);
    program_.reset();
    EXPECT_EQ(readAll(work_ + L"\\plain.cfy"), "previous");
    EXPECT_EQ(listing(work_), (std::vector<std::wstring>{L"plain.cfy", L"plain.txt"}));
}

TEST_F(FileSecurityE2E, ExitWhileDecryptingAFolderKeepsThePreviousFilesAndEnds) {
    ::CreateDirectoryW((work_ + L"\\folder").c_str(), nullptr);
    writeAll(work_ + L"\\folder\\a.txt", "new");
    ::CreateDirectoryW((work_ + L"\\restored").c_str(), nullptr);
    writeAll(work_ + L"\\restored\\a.txt", "previous");
    click(findControl(main_, IDC_LBLFILEORFOLDER));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_LBLSOURCEDESTINATION_0) == "Source Folder:"; }));
    setText(IDC_TXTSOURCE, work_ + L"\\folder");
    setText(IDC_TXTDESTINATION, work_ + L"\\folder.cfy");
    passwords(L"pw", L"pw");
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return idle() && listing(work_).size() == 3; }, 30s));
    click(findControl(main_, IDC_LBLDECRYPT));
    ASSERT_TRUE(
        waitFor([&] { return caption(IDC_LBLSOURCEDESTINATION_1) == "Destination Folder:"; }));
    setText(IDC_TXTSOURCE, work_ + L"\\folder.cfy");
    setText(IDC_TXTDESTINATION, work_ + L"\\restored");
    click(findControl(main_, IDC_CMDDECRYPT));
    ASSERT_TRUE(waitFor([&] { return caption(IDC_CMDDECRYPT) == "Cancel"; }, 30s));
    EXPECT_EQ(exitWithButton(*program_, main_), 0);
    program_.reset();
    EXPECT_EQ(listing(work_ + L"\\restored"), std::vector<std::wstring>{L"a.txt"});
    EXPECT_EQ(readAll(work_ + L"\\restored\\a.txt"), "previous");
}

TEST_F(FileSecurityE2E, FileTypeIsRegisteredQuotedOnceAndLeftAlone) {
    const std::string command = registryDefault(HKEY_CLASSES_ROOT, L".CFY\\shell\\open\\command");
    EXPECT_EQ(registryDefault(HKEY_CLASSES_ROOT, L".cfy"), "cfy_auto_file");
    EXPECT_EQ(registryDefault(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\cfy_auto_file"),
              "Cofferly File");
    ASSERT_EQ(command.front(), '"');
    EXPECT_NE(command.find("Varnholt.Exe\" \"%1\""), std::string::npos) << command;
    EXPECT_EQ(registryDefault(HKEY_LOCAL_MACHINE,
                              L"SOFTWARE\\Classes\\cfy_auto_file\\shell\\open\\command"),
              command);
    // Mark an entry; a start that finds the type in place must not write it.
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, L".CFY\\shell\\open\\command", nullptr, REG_SZ, L"marker",
                      14);
    click(findControl(main_, IDC_CMDCLOSE));
    ASSERT_EQ(program_->waitExit(), 0);
    program_ = std::make_unique<ProgramProcess>();
    main_ = program_->waitMainWindow();
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(registryDefault(HKEY_CLASSES_ROOT, L".CFY\\shell\\open\\command"), "marker");
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, L".CFY\\shell\\open\\command", nullptr, REG_SZ,
                      toUtf16(command).c_str(),
                      static_cast<DWORD>((toUtf16(command).size() + 1) * sizeof(wchar_t)));
}

} // namespace

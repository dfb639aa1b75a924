// End to end: the File Security tab of the real program. A file and a folder
// encrypted and decrypted through the panel, Cancel and Exit during a run
// (one path for every operation), nothing plain left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../win32/test_files.h"
#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;

namespace {

using Names = std::vector<std::string>;

class FileSecurityE2E : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = tempFolder() + "tidewell e2e \xc3\xa9t\xc3\xa9";
        removeTree(work_);
        mkdir(work_);
        program_ = std::make_unique<ProgramProcess>();
        main_ = program_->waitMainWindow();
        ASSERT_NE(main_, nullptr);
        chooseTab(main_, 5);
        ASSERT_NE(findControl(main_, IDC_TXTSOURCE), nullptr);
    }
    void TearDown() override {
        if (program_) {
            exitWithButton(*program_, main_);
        }
        removeTree(work_);
    }
    void setText(int id, const std::string& text) {
        ::SendMessageW(findControl(main_, id), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(win32::toUtf16(text).c_str()));
    }
    void run(int button, const std::string& source, const std::string& destination,
             const std::string& password) {
        setText(IDC_TXTSOURCE, source);
        setText(IDC_TXTDESTINATION, destination);
        setText(IDC_TXTPASSWORD, password);
        setText(IDC_TXTREENTER, password);
        click(findControl(main_, button));
    }
    void switchTo(int label, int captionId, const char* caption) {
        click(findControl(main_, label));
        ASSERT_TRUE(waitFor([&] { return controlText(main_, captionId) == caption; }))
            << controlText(main_, captionId);
    }
    bool idle() {
        return controlText(main_, IDC_CMDENCRYPT) == "Encrypt" &&
               controlText(main_, IDC_CMDDECRYPT) == "Decrypt";
    }
    bool running(int button) {
        return waitFor([&] { return controlText(main_, button) == "Cancel"; }, 30s);
    }

    std::string work_;
    std::unique_ptr<ProgramProcess> program_;
    HWND main_ = nullptr;
};

TEST_F(FileSecurityE2E, FileRoundTripWithAWrongAndADecomposedPassword) {
    std::string plain;
    for (int i = 0; i < 200000; ++i)
        plain += static_cast<char>(i * 31 + i / 7);
    const std::string source = work_ + "\\\xe6\x97\xa5 plain.bin";
    writeText(source, plain);
    run(IDC_CMDENCRYPT, source, work_ + "\\secret.cfy", "p\xc3\xa4ss word");
    ASSERT_TRUE(waitFor([&] { return exists(work_ + "\\secret.cfy") && idle(); }, 60s));

    click(findControl(main_, IDC_LBLDECRYPT));
    ASSERT_TRUE(waitFor([&] { return ::IsWindowEnabled(findControl(main_, IDC_CMDDECRYPT)); }));
    run(IDC_CMDDECRYPT, work_ + "\\secret.cfy", work_ + "\\restored.bin", "wrong");
    HWND box = waitMessageBox(*program_, "Tidewell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Wrong password, or the file is damaged.");
    ASSERT_TRUE(answerMessageBox(*program_, box));
    EXPECT_FALSE(exists(work_ + "\\restored.bin"));
    // The decomposed spelling of the same password opens it.
    run(IDC_CMDDECRYPT, work_ + "\\secret.cfy", work_ + "\\restored.bin", "pa\xcc\x88ss word");
    ASSERT_TRUE(waitFor([&] { return exists(work_ + "\\restored.bin") && idle(); }, 60s));
    EXPECT_EQ(readText(work_ + "\\restored.bin"), plain);
    EXPECT_EQ(listing(work_), (Names{"restored.bin", "secret.cfy", "\xe6\x97\xa5 plain.bin"}));
}

TEST_F(FileSecurityE2E, FolderRoundTripWithCancelNoPlaintextLeftBehindAndExitDuringARun) {
    const std::string src = work_ + "\\folder";
    mkdir(src + "\\sub");
    mkdir(src + "\\empty");
    const std::string note = "note: plaintext that must not survive encryption";
    writeText(src + "\\sub\\note.txt", note);
    for (int i = 0; i < 50; ++i) {
        writeText(src + "\\" + std::to_string(i) + ".txt", std::to_string(i * 7));
    }
    switchTo(IDC_LBLFILEORFOLDER, IDC_LBLSOURCEDESTINATION_0, "Source Folder:");

    // Cancel while it runs (during the key derivation, which takes a good
    // part of a second): the caption comes back and nothing is written.
    run(IDC_CMDENCRYPT, src, work_ + "\\folder.cfy", "pw");
    ASSERT_TRUE(running(IDC_CMDENCRYPT));
    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return idle(); }, 30s));
    EXPECT_EQ(findMessageBox(*program_), nullptr) << "a cancel is silent";
    EXPECT_EQ(listing(work_), Names{"folder"});

    click(findControl(main_, IDC_CMDENCRYPT));
    ASSERT_TRUE(waitFor([&] { return idle() && listing(work_).size() == 2; }, 60s));
    EXPECT_EQ(readText(work_ + "\\folder.cfy").find(note), std::string::npos);

    switchTo(IDC_LBLDECRYPT, IDC_LBLSOURCEDESTINATION_1, "Destination Folder:");
    run(IDC_CMDDECRYPT, work_ + "\\folder.cfy", work_ + "\\restored", "pw");
    ASSERT_TRUE(waitFor([&] { return idle() && exists(work_ + "\\restored"); }, 60s));
    EXPECT_EQ(readText(work_ + "\\restored\\sub\\note.txt"), note);
    EXPECT_EQ(listing(work_ + "\\restored").size(), 52u);
    EXPECT_EQ(listing(work_), (Names{"folder", "folder.cfy", "restored"}));

    // Exit while it decrypts there again (here while the key is derived): the
    // run stops and undoes itself, what was there stays, and the program ends.
    writeText(work_ + "\\restored\\49.txt", "previous");
    run(IDC_CMDDECRYPT, work_ + "\\folder.cfy", work_ + "\\restored", "pw");
    ASSERT_TRUE(running(IDC_CMDDECRYPT));
    EXPECT_EQ(exitWithButton(*program_, main_), 0);
    program_.reset();
    EXPECT_EQ(readText(work_ + "\\restored\\49.txt"), "previous");
    EXPECT_EQ(listing(work_ + "\\restored").size(), 52u);
}

} // namespace

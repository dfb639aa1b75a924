// File security on real Windows files: the adapter's temporary file and
// rename, and same-file detection through other spellings and hard links
// (attributes and times through a round trip are the archive unit tests'). Names
// outside ASCII, wrong and decomposed passwords are the e2e tests'.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "../unit/archive_tar_helpers.h"
#include "filesecurity/archive/archive.h"
#include "filesecurity/engine.h"
#include "filesecurity/file_access.h"
#include "kernel/app_error.h"
#include "test_files.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using tidewell::testing_files::listing;
using tidewell::testing_files::removeTree;
using tidewell::win32::toUtf16;
using tidewell::win32::toUtf8;

namespace {

const cipher::KdfParams kFastKdf{cipher::kMinMemoryKiB, cipher::kMinPasses, 1};

class FileSecurityOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        root_ = toUtf8(temp) + "tidewell fs \xC3\xA9t\xC3\xA9 " +
                std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryW(toUtf16(root_).c_str(), nullptr);
        fs_ = makeFileAccess();
    }
    void TearDown() override { removeTree(root_); }
    std::string path(const std::string& name) { return root_ + "\\" + name; }
    void write(const std::string& name, const std::string& data) {
        std::ofstream(toUtf16(path(name)).c_str(), std::ios::binary) << data;
    }
    std::string read(const std::string& name) {
        std::ifstream f(toUtf16(path(name)).c_str(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    }
    std::string root_;
    std::unique_ptr<FileAccess> fs_;
};

TEST_F(FileSecurityOnDisk, ExtractionTakesNamesThatDifferInCaseForOneFile) {
    const std::string upper = "\xC3\x84.txt", lower = "\xC3\xA4.txt"; // A and a with umlaut
    fs_->createFolder(path("dest"));
    write("dest\\" + upper, "mine");
    write("dest\\locked.txt", "protected");
    ::SetFileAttributesW(toUtf16(path("dest\\locked.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(fs_->sameFile(path("dest\\" + upper), path("dest\\" + lower)));
    EXPECT_EQ(fs_->nameKey(path(lower)), fs_->nameKey(path(upper)));
    auto extract = [&](const std::vector<testing_fs::RawEntry>& entries) {
        testing_fs::extractStream(*fs_, testing_fs::gzip(testing_fs::rawTar(entries)),
                                  path("dest"));
    };
    // The second spelling is the first entry's file, not the user's: a
    // failure once both are written puts the user's file back, whole.
    EXPECT_THROW(extract({{upper, '0', "first"}, {lower, '0', "second"}, {"locked.txt", '0', "x"}}),
                 AppError);
    EXPECT_EQ(listing(path("dest")), (std::vector<std::string>{"locked.txt", upper}));
    EXPECT_EQ(read("dest\\" + upper), "mine");
    fs_->remove(path("dest\\locked.txt"));
    // Success: the later entry wins, and nothing is left set aside.
    extract({{upper, '0', "first"}, {lower, '0', "second"}});
    EXPECT_EQ(listing(path("dest")).size(), 1u);
    EXPECT_EQ(read("dest\\" + lower), "second");
}

constexpr wchar_t kDieEnv[] = L"TIDEWELL_TEST_DIE";

// Passes every call on, and ends the process right after the n-th call of
// one kind: a kill at a known step of an extraction.
class DyingFs : public FileAccess {
public:
    DyingFs(std::string kind, int n) : kind_(std::move(kind)), n_(n) {}
    FileInfo info(const std::string& p) override { return fs_->info(p); }
    std::vector<FolderEntry> list(const std::string& p) override { return fs_->list(p); }
    std::unique_ptr<InputFile> openRead(const std::string& p) override { return fs_->openRead(p); }
    std::unique_ptr<OutputFile> createReplacing(const std::string& p) override {
        return fs_->createReplacing(p);
    }
    std::unique_ptr<OutputFile> createFresh(const std::string& p) override {
        auto file = fs_->createFresh(p);
        step("fresh");
        return file;
    }
    std::unique_ptr<LogFile> createLog(const std::string& p) override { return fs_->createLog(p); }
    bool sameFile(const std::string& a, const std::string& b) override {
        return fs_->sameFile(a, b);
    }
    void createFolder(const std::string& p) override { fs_->createFolder(p); }
    void setTimeAndAttributes(const std::string& p, std::int64_t m, bool r, bool h) override {
        fs_->setTimeAndAttributes(p, m, r, h);
    }
    void remove(const std::string& p) override {
        fs_->remove(p);
        step("remove");
    }
    void rename(const std::string& a, const std::string& b) override {
        fs_->rename(a, b);
        step("rename");
    }
    std::string join(const std::string& a, const std::string& b) override {
        return fs_->join(a, b);
    }
    std::string nameKey(const std::string& p) override { return fs_->nameKey(p); }

private:
    void step(const std::string& kind) {
        if (kind == kind_ && ++count_ == n_)
            ::TerminateProcess(::GetCurrentProcess(), 9);
    }
    std::unique_ptr<FileAccess> fs_ = makeFileAccess();
    std::string kind_;
    int n_;
    std::atomic<int> count_{0};
};

const std::vector<std::pair<std::string, std::string>> kOldSet = {{"a.txt", "old a"},
                                                                  {"b.txt", "old b"}};
const std::vector<testing_fs::RawEntry> kNewSet = {{"a.txt", '0', "new a"},
                                                   {"b.txt", '0', "new b"},
                                                   {"c.txt", '0', "new c"},
                                                   {"sub/d.txt", '0', "new d"}};

// Run as a copy of this program by the tests below, on "<kind> <n> <path>":
// "replace" writes part of the file `path` and dies before it commits; any
// other kind dies at that step of an extraction into the folder `path`.
TEST(FileSecurityHelper, DiesMidway) {
    wchar_t given[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kDieEnv, given, MAX_PATH) == 0)
        GTEST_SKIP() << "only runs as the helper of the killed-process tests";
    std::istringstream words(toUtf8(given));
    std::string kind, target;
    int n = 0;
    words >> kind >> n;
    std::getline(words >> std::ws, target);
    if (kind == "replace") {
        auto out = makeFileAccess()->createReplacing(target);
        const std::vector<std::uint8_t> plaintext(1 << 20, 'p');
        out->write(plaintext.data(), plaintext.size());
        ::TerminateProcess(::GetCurrentProcess(), 9);
    }
    DyingFs fs(kind, n);
    testing_fs::extractStream(fs, testing_fs::gzip(testing_fs::rawTar(kNewSet)), target);
}

// Runs the helper above and waits for its end: true if it was killed mid-way.
bool diedMidway(const std::string& kind, int n, const std::string& target) {
    const std::string given = kind + " " + std::to_string(n) + " " + target;
    ::SetEnvironmentVariableW(kDieEnv, toUtf16(given).c_str());
    win32::UniqueHandle helper =
        testing_files::startTestCopy(L"filesecurity_helper.exe", L"FileSecurityHelper.DiesMidway");
    ::SetEnvironmentVariableW(kDieEnv, nullptr);
    DWORD code = 0;
    return helper && ::WaitForSingleObject(helper.get(), 30000) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(helper.get(), &code) && code == 9;
}

TEST_F(FileSecurityOnDisk, AKilledRunLeavesNoHalfWrittenFile) {
    ASSERT_TRUE(diedMidway("replace", 0, path("restored.txt")));
    EXPECT_EQ(listing(root_), std::vector<std::string>{});
}

// Killed while files are written, while they take their names, or while the
// old ones are removed: no file under its own name is ever cut short, and
// the next look at the folder leaves either every old file or the whole new set.
TEST_F(FileSecurityOnDisk, AKilledExtractionIsUndoneOrCompleteAfterwards) {
    const std::string dest = path("dest");
    struct Kill {
        const char* kind;
        int n;
        bool complete;
    };
    for (const Kill& kill :
         {Kill{"fresh", 2, false}, Kill{"rename", 1, false}, Kill{"rename", 2, false},
          Kill{"rename", 5, false}, Kill{"remove", 1, true}}) {
        SCOPED_TRACE(std::string(kill.kind) + " " + std::to_string(kill.n));
        removeTree(dest);
        fs_->createFolder(dest);
        for (const auto& [name, text] : kOldSet)
            write("dest\\" + name, text);
        ASSERT_TRUE(diedMidway(kill.kind, kill.n, dest));
        for (const auto& entry : kNewSet) {
            std::string name = entry.name == "sub/d.txt" ? "sub\\d.txt" : entry.name;
            std::string text = read("dest\\" + name);
            EXPECT_TRUE(text.empty() || text == entry.data || text == "old" + entry.data.substr(3))
                << name << ": " << text;
        }
        archive::recoverInterrupted(*fs_, dest);
        if (kill.complete) {
            EXPECT_EQ(listing(dest), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "sub"}));
            EXPECT_EQ(read("dest\\a.txt"), "new a");
            EXPECT_EQ(read("dest\\sub\\d.txt"), "new d");
        } else {
            EXPECT_EQ(listing(dest), (std::vector<std::string>{"a.txt", "b.txt"}));
            for (const auto& [name, text] : kOldSet)
                EXPECT_EQ(read("dest\\" + name), text);
        }
    }
}

// Links made from the Linux side, as a user of this machine would: Wine
// shows one to a file as a plain file and resolves its name to the target.
TEST_F(FileSecurityOnDisk, LinksInTheDestinationLoseNothingOfWhatTheyPointTo) {
    if (testing_files::unixPath("C:\\").empty())
        GTEST_SKIP() << "links from the Linux side need Wine";
    const std::string links = path("links"), dest = links + "\\dest";
    fs_->createFolder(links);
    fs_->createFolder(dest);
    fs_->createFolder(links + "\\empty");
    fs_->createFolder(links + "\\full");
    write("links\\target.txt", "outside");
    write("links\\full\\keep.txt", "kept");
    for (const char* name : {"target.txt", "empty", "full"}) {
        const std::string link = dest + "\\" + (name == std::string("target.txt") ? "a.txt" : name);
        testing_files::linkTo(link, links + "\\" + name);
    }
    EXPECT_TRUE(fs_->info(dest + "\\a.txt").isLink);
    EXPECT_THROW(fs_->remove(dest + "\\a.txt"), AppError);
    EXPECT_THROW(fs_->rename(dest + "\\a.txt", dest + "\\b.txt"), AppError);
    // Each archive names a link: refused, with the link and its target left.
    for (const std::vector<testing_fs::RawEntry>& entries :
         {std::vector<testing_fs::RawEntry>{{"z.txt", '0', "new"}, {"a.txt", '0', "new"}},
          std::vector<testing_fs::RawEntry>{{"empty", '0', "new"}},
          std::vector<testing_fs::RawEntry>{{"empty/", '5'}, {"empty/x.txt", '0', "new"}},
          std::vector<testing_fs::RawEntry>{{"full/keep.txt", '0', "new"}}}) {
        SCOPED_TRACE(entries.back().name);
        EXPECT_THROW(
            testing_fs::extractStream(*fs_, testing_fs::gzip(testing_fs::rawTar(entries)), dest),
            AppError);
        EXPECT_EQ(read("links\\target.txt"), "outside");
        EXPECT_EQ(read("links\\full\\keep.txt"), "kept");
        EXPECT_EQ(listing(links + "\\empty"), std::vector<std::string>{});
        EXPECT_EQ(listing(dest), (std::vector<std::string>{"a.txt", "empty", "full"}));
    }
    removeTree(links);
}

TEST_F(FileSecurityOnDisk, ReplacesAnExistingFileOnlyOnCommit) {
    write("dest.cfy", "old contents");
    auto out = fs_->createReplacing(path("dest.cfy"));
    out->write(reinterpret_cast<const std::uint8_t*>("new"), 3);
    EXPECT_EQ(read("dest.cfy"), "old contents") << "untouched until commit";
    EXPECT_EQ(listing(root_).size(), 2u) << "the temporary file sits beside it";
    out->commit();
    out.reset();
    EXPECT_EQ(read("dest.cfy"), "new");
    EXPECT_EQ(listing(root_), std::vector<std::string>{"dest.cfy"});
    EXPECT_FALSE(fs_->info(path("dest.cfy")).hidden);
}

TEST_F(FileSecurityOnDisk, ReadOnlyDestinationSurvivesAFailedReplace) {
    write("plain.txt", "data");
    write("locked.cfy", "keep");
    ::SetFileAttributesW(toUtf16(path("locked.cfy")).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(run(Operation::EncryptSingleFile, {"pw", path("plain.txt"), path("locked.cfy")},
                     *fs_, {}, kFastKdf),
                 AppError);
    EXPECT_EQ(read("locked.cfy"), "keep");
    EXPECT_EQ(listing(root_), (std::vector<std::string>{"locked.cfy", "plain.txt"}));
}

TEST_F(FileSecurityOnDisk, FolderRoundTripKeepsEmptyFoldersAndSpellingsFindTheSameFile) {
    fs_->createFolder(path("src"));
    fs_->createFolder(path("src\\empty"));
    write("src\\plain.txt", "p");
    run(Operation::EncryptFolder, {"pw", path("src"), path("src.cfy")}, *fs_, {}, kFastKdf);
    run(Operation::DecryptFolder, {"pw", path("src.cfy"), path("out")}, *fs_, {}, kFastKdf);
    EXPECT_TRUE(fs_->info(path("out\\empty")).isFolder);
    EXPECT_EQ(listing(path("out")), listing(path("src")));

    // Typed spellings: relative, with "..", with forward slashes, in other
    // case; a hard link is the same file too, a copy is not.
    ASSERT_TRUE(::SetCurrentDirectoryW(toUtf16(root_).c_str()));
    EXPECT_TRUE(fs_->info("src\\..\\src.cfy").exists);
    EXPECT_TRUE(fs_->info(root_ + "/src.cfy").exists);
    EXPECT_TRUE(fs_->sameFile("src.cfy", path("src.cfy")));
    EXPECT_TRUE(fs_->sameFile(path("src.cfy"), path("SRC.CFY")));
    ASSERT_TRUE(::CreateHardLinkW(toUtf16(path("hard.cfy")).c_str(),
                                  toUtf16(path("src.cfy")).c_str(), nullptr));
    EXPECT_TRUE(fs_->sameFile(path("src.cfy"), path("hard.cfy")));
    EXPECT_FALSE(fs_->sameFile(path("src\\plain.txt"), path("out\\plain.txt")));
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    ::SetCurrentDirectoryW(temp);
}

} // namespace

// File security on real Windows files: the adapter's temporary file and
// rename, same-file detection through other spellings and hard links,
// attributes and times through a folder round trip, and long paths. Names
// outside ASCII, wrong and decomposed passwords are the e2e tests'.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../unit/archive_tar_helpers.h"
#include "test_files.h"
#include "filesecurity/archive/archive.h"
#include "filesecurity/engine.h"
#include "filesecurity/file_access.h"
#include "filesecurity/file_security_panel_win32.h"
#include "shell/app_error.h"
#include "win32/long_path.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
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
    static void removeTree(const std::string& path) {
        std::wstring w = win32::extendedPath(path);
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((w + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring n = fd.cFileName;
                if (n == L"." || n == L"..")
                    continue;
                std::wstring child = w + L"\\" + n;
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(path + "\\" + toUtf8(n));
                } else {
                    ::DeleteFileW(child.c_str());
                }
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(w.c_str());
    }
    std::string path(const std::string& name) { return root_ + "\\" + name; }
    void write(const std::string& name, const std::string& data) {
        std::ofstream(toUtf16(path(name)).c_str(), std::ios::binary) << data;
    }
    std::string read(const std::string& name) {
        std::ifstream f(toUtf16(path(name)).c_str(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> names(const std::string& folder) {
        std::vector<std::string> out;
        for (auto& e : fs_->list(folder))
            out.push_back(e.name);
        std::sort(out.begin(), out.end());
        return out;
    }
    std::string root_;
    std::unique_ptr<FileAccess> fs_;
};

TEST_F(FileSecurityOnDisk, SameFileThroughAnotherSpellingOrAHardLink) {
    write("plain.txt", "data");
    EXPECT_TRUE(fs_->sameFile(path("plain.txt"), path("PLAIN.TXT")));
    EXPECT_TRUE(fs_->sameFile(path("plain.txt"), root_ + "\\.\\sub\\..\\plain.txt"));
    ASSERT_TRUE(::CreateHardLinkW(toUtf16(path("hard.txt")).c_str(),
                                  toUtf16(path("plain.txt")).c_str(), nullptr));
    EXPECT_TRUE(fs_->sameFile(path("plain.txt"), path("hard.txt")));
    write("other.txt", "data");
    EXPECT_FALSE(fs_->sameFile(path("plain.txt"), path("other.txt")));
}

// An abandoned write leaving nothing is the e2e cancel's; replacing a file
// that exists is only here.
TEST_F(FileSecurityOnDisk, ExtractionTakesNamesThatDifferInCaseForOneFile) {
    const std::string upper = "\xC3\x84.txt", lower = "\xC3\xA4.txt"; // A and a with umlaut
    fs_->createFolder(path("dest"));
    write("dest\\" + upper, "mine");
    write("dest\\locked.txt", "protected");
    ::SetFileAttributesW(toUtf16(path("dest\\locked.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(fs_->sameFile(path("dest\\" + upper), path("dest\\" + lower)));
    EXPECT_EQ(fs_->nameKey(path(lower)), fs_->nameKey(path(upper)));
    auto extract = [&](const std::vector<testing_fs::RawEntry>& entries) {
        testing_fs::extractStream(*fs_, testing_fs::gzip(testing_fs::rawTar(entries)), path("dest"));
    };
    // The second spelling is the first entry's file, not the user's: a
    // failure once both are written puts the user's file back, whole.
    EXPECT_THROW(
        extract({{upper, '0', "first"}, {lower, '0', "second"}, {"locked.txt", '0', "x"}}),
        AppError);
    EXPECT_EQ(names(path("dest")), (std::vector<std::string>{"locked.txt", upper}));
    EXPECT_EQ(read("dest\\" + upper), "mine");
    fs_->remove(path("dest\\locked.txt"));
    // Success: the later entry wins, and nothing is left set aside.
    extract({{upper, '0', "first"}, {lower, '0', "second"}});
    EXPECT_EQ(names(path("dest")).size(), 1u);
    EXPECT_EQ(read("dest\\" + lower), "second");
}

constexpr wchar_t kDieEnv[] = L"TIDEWELL_TEST_DIE_WRITING";

// Run as a copy of this program by the test below: writes part of a file
// through the adapter and is killed before it commits.
TEST(FileSecurityHelper, KilledWhileWriting) {
    wchar_t target[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kDieEnv, target, MAX_PATH) == 0)
        GTEST_SKIP() << "only runs as the helper of the killed-process test";
    auto fs = makeFileAccess();
    auto out = fs->createReplacing(toUtf8(target));
    const std::vector<std::uint8_t> plaintext(1 << 20, 'p');
    out->write(plaintext.data(), plaintext.size());
    ::TerminateProcess(::GetCurrentProcess(), 9);
}

TEST_F(FileSecurityOnDisk, AKilledRunLeavesNoHalfWrittenFile) {
    ::SetEnvironmentVariableW(kDieEnv, toUtf16(path("restored.txt")).c_str());
    win32::UniqueHandle helper = testing_files::startTestCopy(
        L"filesecurity_helper.exe", L"FileSecurityHelper.KilledWhileWriting");
    ::SetEnvironmentVariableW(kDieEnv, nullptr);
    ASSERT_TRUE(helper);
    ASSERT_EQ(::WaitForSingleObject(helper.get(), 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(helper.get(), &code);
    ASSERT_EQ(code, 9u) << "the helper was not killed mid-way";
    EXPECT_EQ(names(root_), std::vector<std::string>{});
}

TEST_F(FileSecurityOnDisk, ReplacesAnExistingFileOnlyOnCommit) {
    write("dest.cfy", "old contents");
    auto out = fs_->createReplacing(path("dest.cfy"));
    out->write(reinterpret_cast<const std::uint8_t*>("new"), 3);
    EXPECT_EQ(read("dest.cfy"), "old contents") << "untouched until commit";
    EXPECT_EQ(names(root_).size(), 2u) << "the temporary file sits beside it";
    out->commit();
    out.reset();
    EXPECT_EQ(read("dest.cfy"), "new");
    EXPECT_EQ(names(root_), std::vector<std::string>{"dest.cfy"});
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
    EXPECT_EQ(names(root_), (std::vector<std::string>{"locked.cfy", "plain.txt"}));
}

TEST_F(FileSecurityOnDisk, FolderRoundTripKeepsAttributesTimesEmptyFoldersAndLongPaths) {
    fs_->createFolder(path("src"));
    fs_->createFolder(path("src\\empty"));
    write("src\\hidden.txt", "h");
    write("src\\readonly.txt", "r");
    ::SetFileAttributesW(toUtf16(path("src\\hidden.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    fs_->setTimeAndAttributes(path("src\\readonly.txt"), 1300000000, true, false);
    std::string deep;
    for (int level = 0; level < 5; ++level) {
        deep += "\\" + std::string(60, static_cast<char>('a' + level));
        fs_->createFolder(path("src" + deep));
    }
    const std::string longName = deep + "\\long \xC3\xA9 name.txt";
    ASSERT_GT(path("src" + longName).size(), std::size_t{MAX_PATH});
    {
        auto out = fs_->createReplacing(path("src" + longName));
        out->write(reinterpret_cast<const std::uint8_t*>("beyond MAX_PATH"), 15);
        out->commit();
    }
    run(Operation::EncryptFolder, {"pw", path("src"), path("src.cfy")}, *fs_, {}, kFastKdf);
    run(Operation::DecryptFolder, {"pw", path("src.cfy"), path("out")}, *fs_, {}, kFastKdf);
    EXPECT_TRUE(fs_->info(path("out\\empty")).isFolder);
    EXPECT_TRUE(fs_->info(path("out\\hidden.txt")).hidden);
    FileInfo ro = fs_->info(path("out\\readonly.txt"));
    EXPECT_TRUE(ro.readOnly);
    EXPECT_EQ(ro.modified, 1300000000);
    EXPECT_EQ(fs_->info(path("out" + longName)).size, 15u);
    EXPECT_EQ(names(path("out")), names(path("src")));

    // Typed spellings: relative, with "..", with forward slashes.
    ASSERT_TRUE(::SetCurrentDirectoryW(toUtf16(root_).c_str()));
    EXPECT_TRUE(fs_->info("src\\..\\src.cfy").exists);
    EXPECT_TRUE(fs_->info(root_ + "/src.cfy").exists);
    EXPECT_TRUE(fs_->sameFile("src.cfy", path("src.cfy")));
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    ::SetCurrentDirectoryW(temp);
}

// The key is made from the password's composed (NFC) spelling: an "ä" typed
// as one character or as "a" plus a combining mark opens the same file.
TEST(FileSecurityPassword, ComposedAndDecomposedSpellingsGiveTheSameKey) {
    EXPECT_EQ(normalizedPassword(L"a\x0308pfel"), "\xC3\xA4pfel");
    EXPECT_EQ(normalizedPassword(L"\x00E4pfel"), "\xC3\xA4pfel");
    EXPECT_EQ(normalizedPassword(L"  spaced  "), "  spaced  ");
    EXPECT_EQ(normalizedPassword(L""), "");
}

} // namespace

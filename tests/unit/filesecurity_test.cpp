// The file-security engine and panel: validation order and texts, what is
// left on disk after success, failure and cancel, the panel's operation
// and password check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive_tar_helpers.h"
#include "filesecurity/engine.h"
#include "filesecurity/panel.h"
#include "kernel/app_error.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using namespace tidewell::testing_fs;

namespace {

const cipher::KdfParams kFastKdf{cipher::kMinMemoryKiB, cipher::kMinPasses, 1};
const std::string kTitle = "Tidewell";

MemoryFs withFiles() {
    MemoryFs fs;
    fs.addFolder("/d");
    fs.addFile("/d/plain.txt", patterned(100000));
    fs.addFolder("/d/folder");
    fs.addFile("/d/folder/one.txt", bytesOf("one"));
    return fs;
}

// Blank or missing fields in the order and words of each command, and
// destinations that are the source, inside it, a pattern or of the wrong kind.
TEST(EngineValidation, EachCommandRefusesItsFieldsInOrderAndLeavesTheSource) {
    MemoryFs fs = withFiles();
    fs.nodes["/d/hardlink.txt"] = fs.nodes["/d/plain.txt"]; // same data object: a hard link
    using O = Operation;
    const std::string src = "Invalid Source", dst = "Invalid Destination File";
    const char* same =
        "The destination is the source file itself. Choose another destination file.";
    const struct Row {
        Operation op;
        const char *source, *destination, *text;
        std::string title;
    } rows[] = {
        {O::EncryptSingleFile, "  ", "", "Source folder can not be blank.", src},
        {O::EncryptFolder, "/d/nope", "/d/out", "Source folder not found.", src},
        {O::DecryptSingleFile, "/d/nope", "", "Destination file can not be blank.", kTitle},
        {O::DecryptSingleFile, "/d/nope", "/d/out", "Source file not found.", kTitle},
        {O::DecryptFolder, "/d/nope", "", "Destination folder can not be blank.", kTitle},
        {O::EncryptSingleFile, "/d/plain.txt", "/d/plain.txt", same, dst},
        {O::EncryptSingleFile, "/d/plain.txt", "/d/hardlink.txt", same, dst},
        {O::DecryptSingleFile, "/d/plain.txt", "/d/hardlink.txt", same, kTitle},
        {O::EncryptFolder, "/d/folder", "/d/folder/inside.cfy",
         "The destination file can not be inside the source folder.", dst},
        {O::EncryptSingleFile, "/d/plain.txt", "/d/*.txt",
         "The destination name can not contain * or ?.", dst},
        {O::EncryptSingleFile, "/d/plain.txt", "/d/folder",
         "The destination is a folder. Choose a file name.", dst},
        {O::DecryptFolder, "/d/plain.txt", "/d/hardlink.txt",
         "The destination is not a folder. Choose a folder.", kTitle},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(validate(row.op, {"pw", row.source, row.destination}, fs, kTitle),
                  (UserMessage{row.text, row.title, kIconInformation}))
            << row.text << " '" << row.source << "'";
    }
    // A single-file source is not checked up front; its own error comes later.
    EXPECT_EQ(validate(O::EncryptSingleFile, {"pw", "/d/nope", "/d/out"}, fs, kTitle),
              std::nullopt);
    EXPECT_EQ(fs.file("/d/plain.txt"), patterned(100000));
}

// A file and a folder there and back, with nothing left beside them; the
// untrimmed password is the key.
TEST(Engine, FileAndFolderRoundTripsLeaveNoTemporaryFile) {
    MemoryFs fs = withFiles();
    run(Operation::EncryptSingleFile, {" pw ", "/d/plain.txt", "/d/plain.cfy"}, fs, {}, kFastKdf);
    run(Operation::DecryptSingleFile, {" pw ", "/d/plain.cfy", "/d/back.txt"}, fs, {}, kFastKdf);
    run(Operation::EncryptFolder, {" pw ", "/d/folder", "/d/folder.cfy"}, fs, {}, kFastKdf);
    run(Operation::DecryptFolder, {" pw ", "/d/folder.cfy", "/d/out"}, fs, {}, kFastKdf);
    EXPECT_EQ(fs.file("/d/back.txt"), fs.file("/d/plain.txt"));
    EXPECT_EQ(fs.file("/d/out/one.txt"), bytesOf("one"));
    EXPECT_EQ(fs.list("/d").size(), 6u) << "the sources, both .cfy files and both results";
    EXPECT_EQ(fs.list("/d/out").size(), 1u);
}

// A wrong password (of a file, of a folder), a tampered file, a missing
// source, a write that fails half-way and a cancel (of a file, of a folder
// late in its extraction): each keeps the existing destination and leaves
// nothing behind.
TEST(Engine, FailedAndCancelledRunsKeepTheExistingDestinationAndLeaveNothing) {
    MemoryFs fs = withFiles();
    run(Operation::EncryptSingleFile, {"pw", "/d/plain.txt", "/d/plain.cfy"}, fs, {}, kFastKdf);
    Bytes tampered = fs.file("/d/plain.cfy");
    tampered[tampered.size() - 5] ^= 1;
    fs.addFile("/d/tampered.cfy", tampered);
    fs.addFile("/d/existing.txt", bytesOf("keep me"));
    fs.addFile("/d/big.bin", patterned(3 << 20));
    fs.addFolder("/d/tree");
    fs.addFile("/d/tree/big.bin", patterned(3 << 20));
    fs.addFile("/d/tree/small.txt", bytesOf("s"));
    run(Operation::EncryptFolder, {"pw", "/d/tree", "/d/tree.cfy"}, fs, {}, kFastKdf);
    const auto cancelAt = [](int at) {
        return [at](int p) {
            if (p >= at)
                throw AppError(kCancelledNumber, "Cancelled");
        };
    };
    using O = Operation;
    const struct Row {
        Operation op;
        Fields fields;
        bool cipher; // a CipherError, else an AppError
        const char* failWrites = "";
        std::function<void(int)> progress = nullptr;
    } rows[] = {
        {O::DecryptSingleFile, {"wrong", "/d/plain.cfy", "/d/existing.txt"}, true},
        {O::DecryptFolder, {"wrong", "/d/tree.cfy", "/d/restored"}, true},
        {O::DecryptSingleFile, {"pw", "/d/tampered.cfy", "/d/existing.txt"}, true},
        {O::EncryptSingleFile, {"pw", "/d/missing", "/d/existing.txt"}, false},
        {O::EncryptSingleFile, {"pw", "/d/plain.txt", "/d/existing.txt"}, false, "/d/existing.txt"},
        {O::EncryptSingleFile, {"pw", "/d/big.bin", "/d/big.cfy"}, false, "", cancelAt(50)},
        {O::DecryptFolder, {"pw", "/d/tree.cfy", "/d/restored"}, false, "", cancelAt(90)},
    };
    const auto before = fs.paths();
    for (const Row& row : rows) {
        fs.failWritesTo = row.failWrites;
        const std::string name = row.fields.source + " -> " + row.fields.destination;
        try {
            run(row.op, row.fields, fs, row.progress, kFastKdf);
            ADD_FAILURE() << name;
        } catch (const cipher::CipherError& e) {
            EXPECT_TRUE(row.cipher) << name;
            EXPECT_STREQ(e.what(), "Wrong password, or the file is damaged.");
        } catch (const AppError&) {
            EXPECT_FALSE(row.cipher) << name;
        }
        EXPECT_EQ(fs.file("/d/existing.txt"), bytesOf("keep me")) << name;
        EXPECT_EQ(fs.paths(), before) << name;
    }
}

TEST(Engine, HostileArchiveWithTheRightPasswordWritesNothingOutside) {
    for (const char* evil : {"../escaped.txt", "/abs.txt", "C:\\win.txt", "x/../../up.txt"}) {
        MemoryFs fs = withFiles();
        Bytes tarGz =
            gzip(rawTar({{"fine.txt", '0', "ok"}, {evil, '0', "evil"}, {"lnk", '2', "", "/d"}}));
        VectorSink sealed;
        cipher::Encryptor enc("pw", sealed, kFastKdf);
        enc.write(tarGz.data(), tarGz.size());
        enc.finish();
        fs.addFile("/d/evil.cfy", sealed.bytes);
        auto before = fs.paths();
        EXPECT_THROW(
            run(Operation::DecryptFolder, {"pw", "/d/evil.cfy", "/d/out"}, fs, {}, kFastKdf),
            AppError)
            << evil;
        EXPECT_EQ(fs.paths(), before) << evil;
    }
}

// ---- panel ---------------------------------------------------------------------

// The four states of mode and direction and the operation each button
// starts (the captions and the busy state are the e2e tests').
TEST(Panel, OperationFollowsModeAndDirection) {
    const struct Row {
        bool folder;
        Direction direction;
        Operation operation;
    } rows[] = {
        {false, Direction::Encrypt, Operation::EncryptSingleFile},
        {false, Direction::Decrypt, Operation::DecryptSingleFile},
        {true, Direction::Decrypt, Operation::DecryptFolder},
        {true, Direction::Encrypt, Operation::EncryptFolder},
    };
    PanelModel m;
    initPanel(m);
    for (const Row& row : rows) {
        if (folderMode(m) != row.folder)
            toggleMode(m);
        SelectDirection(m, row.direction);
        const bool encrypt = row.direction == Direction::Encrypt;
        EXPECT_EQ(operationFor(m, encrypt), row.operation) << row.folder << encrypt;
    }
    EXPECT_EQ(dialogFilter("Cofferly Files (*.cfy) | *.cfy"),
              std::string("Cofferly Files (*.cfy)\0*.cfy\0\0", 30));
}

// The password checks trim, but the engine gets the password untrimmed.
TEST(Panel, PasswordsAreCheckedTrimmed) {
    PanelModel m;
    auto result = [&](std::string a, std::string b) {
        m.txtPassword = a;
        m.txtReenter = b;
        auto r = checkPasswords(m);
        return r ? r->text + "/" + r->title + "/" + std::to_string(r->icon) : std::string("ok");
    };
    EXPECT_EQ(result("   ", "x"), "Empty is not vaid./Password/48");
    EXPECT_EQ(result("Secret", "secret"), "Unmatched passwords./Password/48");
    EXPECT_EQ(result("  secret ", "secret"), "ok");
    EXPECT_EQ(fieldsOf(m).password, "  secret ");
}

} // namespace

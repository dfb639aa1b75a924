// The file-security engine and panel: validation order and texts, what is
// left on disk after success, failure and cancel, the panel's captions and
// pickers, and the .cfy registration.
#include <gtest/gtest.h>

#include <set>

#include "archive_tar_helpers.h"
#include "filesecurity/engine.h"
#include "filesecurity/file_type.h"
#include "filesecurity/panel.h"
#include "kernel/app_error.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using namespace tidewell::testing_fs;

namespace {

const cipher::KdfParams kFastKdf{cipher::kMinMemoryKiB, cipher::kMinPasses, 1};
const std::string kTitle = "Tidewell";

UserMessage msg(const std::string& text, const std::string& title) {
    return {text, title, kIconInformation};
}

MemoryFs withFiles() {
    MemoryFs fs;
    fs.addFolder("/d");
    fs.addFile("/d/plain.txt", patterned(100000));
    fs.addFolder("/d/folder");
    fs.addFile("/d/folder/one.txt", bytesOf("one"));
    return fs;
}

std::optional<UserMessage> check(Operation op, const std::string& src, const std::string& dst,
                                 MemoryFs& fs) {
    return validate(op, Fields{"pw", src, dst}, fs, kTitle);
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
        {O::EncryptSingleFile, "/d/plain.txt", "   ", "Specify destination file.", dst},
        {O::EncryptFolder, "", "x", "Source folder can not be blank.", src},
        {O::EncryptFolder, "/d/folder", " ", "Specify destination file.", dst},
        {O::EncryptFolder, "/d/nope", "/d/out", "Source folder not found.", src},
        {O::DecryptSingleFile, " ", " ", "Source file can not be blank.", kTitle},
        {O::DecryptSingleFile, "/d/nope", "", "Destination file can not be blank.", kTitle},
        {O::DecryptSingleFile, "/d/nope", "/d/out", "Source file not found.", kTitle},
        {O::DecryptSingleFile, "/d/folder", "/d/out", "Source file not found.", kTitle},
        {O::DecryptFolder, "/d/nope", "", "Destination folder can not be blank.", kTitle},
        {O::DecryptFolder, "/d/nope", "/d/o", "Source file not found.", kTitle},
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
        EXPECT_EQ(check(row.op, row.source, row.destination, fs), msg(row.text, row.title))
            << row.text << " '" << row.source << "'";
    }
    // A single-file source is not checked up front; its own error comes later.
    EXPECT_EQ(check(O::EncryptSingleFile, "/d/nope", "/d/out", fs), std::nullopt);
    EXPECT_EQ(fs.file("/d/plain.txt"), patterned(100000));
}

TEST(Engine, FileRoundTripLeavesNoTemporaryFile) {
    MemoryFs fs = withFiles();
    std::vector<int> percents;
    run(
        Operation::EncryptSingleFile, {" pw ", "/d/plain.txt", "/d/plain.cfy"}, fs,
        [&](int p) { percents.push_back(p); }, kFastKdf);
    run(Operation::DecryptSingleFile, {" pw ", "/d/plain.cfy", "/d/back.txt"}, fs, {}, kFastKdf);
    EXPECT_EQ(fs.file("/d/back.txt"), fs.file("/d/plain.txt"));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_EQ(fs.list("/d").size(), 4u) << "plain.txt, folder, plain.cfy, back.txt";
    // The untrimmed password is the key: the trimmed one does not open it.
    EXPECT_THROW(
        run(Operation::DecryptSingleFile, {"pw", "/d/plain.cfy", "/d/x.txt"}, fs, {}, kFastKdf),
        cipher::CipherError);
}

// A wrong password, a tampered file, a missing source, a write that fails
// half-way and a cancel (of a file, of a folder late in its extraction): each
// keeps the existing destination and leaves nothing behind.
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
        std::function<void(int)> progress;
        const char* failWrites;
        bool cipher; // a CipherError, else an AppError
    } rows[] = {
        {O::DecryptSingleFile, {"wrong", "/d/plain.cfy", "/d/existing.txt"}, {}, "", true},
        {O::DecryptSingleFile, {"pw", "/d/tampered.cfy", "/d/existing.txt"}, {}, "", true},
        {O::EncryptSingleFile, {"pw", "/d/missing", "/d/existing.txt"}, {}, "", false},
        {O::EncryptSingleFile,
         {"pw", "/d/plain.txt", "/d/existing.txt"},
         {},
         "/d/existing.txt",
         false},
        {O::EncryptSingleFile, {"pw", "/d/big.bin", "/d/big.cfy"}, cancelAt(50), "", false},
        {O::DecryptFolder, {"pw", "/d/tree.cfy", "/d/restored"}, cancelAt(90), "", false},
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

TEST(Engine, FolderRoundTripAndWrongPasswordCreatesNothing) {
    MemoryFs fs = withFiles();
    fs.addFolder("/d/folder/empty");
    fs.addFile("/d/folder/" + std::string("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"),
               bytesOf("hi"));
    run(Operation::EncryptFolder, {"pw", "/d/folder", "/d/folder.cfy"}, fs, {}, kFastKdf);
    EXPECT_THROW(
        run(Operation::DecryptFolder, {"bad", "/d/folder.cfy", "/d/out"}, fs, {}, kFastKdf),
        cipher::CipherError);
    EXPECT_FALSE(fs.has("/d/out"));
    run(Operation::DecryptFolder, {"pw", "/d/folder.cfy", "/d/out"}, fs, {}, kFastKdf);
    EXPECT_EQ(fs.file("/d/out/one.txt"), bytesOf("one"));
    EXPECT_TRUE(fs.nodes.at("/d/out/empty").folder);
    EXPECT_EQ(fs.file("/d/out/\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"),
              bytesOf("hi"));
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

// The four states of mode and direction: captions, buttons, pickers and the
// operation each button starts.
TEST(Panel, CaptionsPickersAndOperationFollowModeAndDirection) {
    using K = PickerRequest::Kind;
    const std::string all = "All Files (*.*) | *.*", cfy = "Cofferly Files (*.cfy) | *.cfy";
    const struct Row {
        bool folder;
        Direction direction;
        const char *captions, *modeLabel;
        PickerRequest source, destination;
        Operation operation;
    } rows[] = {
        {false, Direction::Encrypt, "Source File:|Destination File:", "an entire folder",
         {K::OpenFile, all}, {K::SaveFile, cfy}, Operation::EncryptSingleFile},
        {false, Direction::Decrypt, "Source File:|Destination File:", "an entire folder",
         {K::OpenFile, cfy}, {K::SaveFile, all}, Operation::DecryptSingleFile},
        {true, Direction::Decrypt, "Source File:|Destination Folder:", "a single file",
         {K::OpenFile, cfy}, {K::Folder, ""}, Operation::DecryptFolder},
        {true, Direction::Encrypt, "Source Folder:|Destination File:", "a single file",
         {K::Folder, ""}, {K::SaveFile, cfy}, Operation::EncryptFolder},
    };
    PanelModel m;
    initPanel(m);
    for (const Row& row : rows) {
        if (folderMode(m) != row.folder)
            toggleMode(m);
        SelectDirection(m, row.direction);
        const bool encrypt = row.direction == Direction::Encrypt;
        const std::string name = std::string(row.captions) + (encrypt ? " encrypt" : " decrypt");
        EXPECT_EQ(m.lblSourceDestination[0] + "|" + m.lblSourceDestination[1], row.captions);
        EXPECT_EQ(m.lblFileOrFolder, std::string("Click here to encrypt/decrypt ") + row.modeLabel)
            << name;
        EXPECT_EQ(m.cmdEncryptEnabled, encrypt) << name;
        EXPECT_EQ(m.cmdDecryptEnabled, !encrypt) << name;
        EXPECT_EQ(browseRequest(m, 0), row.source) << name;
        EXPECT_EQ(browseRequest(m, 1), row.destination) << name;
        EXPECT_EQ(operationFor(m, encrypt), row.operation) << name;
    }
    EXPECT_EQ(dialogFilter(cfy), std::string("Cofferly Files (*.cfy)\0*.cfy\0\0", 30));
    EXPECT_EQ(folderPickerResult("C:\\"), "C:");
    EXPECT_EQ(folderPickerResult("C:\\Data"), "C:\\Data");

    beginOperation(m, false);
    EXPECT_TRUE(m.busy);
    EXPECT_EQ(m.cmdDecryptCaption + "|" + m.cmdEncryptCaption, "Cancel|Encrypt");
    m.pgb = 40;
    endOperation(m);
    EXPECT_EQ(m.cmdDecryptCaption, "Decrypt");
    EXPECT_EQ(m.pgb, 0);
    EXPECT_FALSE(m.busy);
}

TEST(Panel, ChangesClearThePathsButNotThePasswords) {
    PanelModel m;
    auto fill = [&] {
        m.txtSource = "a";
        m.txtDestination = "b";
        m.txtPassword = m.txtReenter = "pw";
    };
    fill();
    SelectDirection(m, Direction::Encrypt); // the selected one again still clears
    EXPECT_EQ(m.txtSource + m.txtDestination, "");
    fill();
    toggleMode(m);
    EXPECT_EQ(m.txtSource + m.txtDestination, "");
    EXPECT_EQ(m.txtPassword + m.txtReenter, "pwpw");
}

TEST(Panel, PasswordChecksTrimButCompareExactly) {
    PanelModel m;
    auto result = [&](std::string a, std::string b) {
        m.txtPassword = a;
        m.txtReenter = b;
        auto r = checkPasswords(m);
        return r ? r->text + "/" + r->title + "/" + std::to_string(r->icon) : std::string("ok");
    };
    EXPECT_EQ(result("   ", "x"), "Empty is not vaid./Password/48");
    EXPECT_EQ(result("x", ""), "Empty is not vaid./Password/48");
    EXPECT_EQ(result("Secret", "secret"), "Unmatched passwords./Password/48");
    EXPECT_EQ(result("  secret ", "secret"), "ok");
    EXPECT_EQ(fieldsOf(m).password, "  secret ") << "the engine gets it untrimmed";
}

// ---- file type -----------------------------------------------------------------

struct FakeRegistry : Registry, KeyCreator {
    std::map<std::string, std::string> values; // "root|key(lower)" -> value
    std::set<std::string> keys;
    int writes = 0;
    static std::string id(RegistryRoot r, std::string key) {
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return std::to_string(static_cast<unsigned>(r)) + "|" + key;
    }
    void createKey(RegistryRoot root, const std::string& path) override {
        std::string p;
        for (std::size_t i = 0; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '\\')
                keys.insert(id(root, p));
            if (i < path.size())
                p += path[i];
        }
    }
    void SetRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                          const std::string& value, RegistryType) override {
        ++writes;
        if (keys.count(id(root, key)) && name.empty())
            values[id(root, key)] = value; // existing keys only
    }
    std::string GetMachineValue(const std::string& key, const std::string&) override {
        auto it = values.find(id(RegistryRoot::LocalMachine, key));
        return it == values.end() ? "" : it->second;
    }
    std::string GetUserValue(const std::string&, const std::string&) override { return ""; }
};

TEST(FileType, RegistersQuotedCommandOnceThenLeavesItAlone) {
    FakeRegistry reg;
    const auto at = [&](RegistryRoot root, const char* key) -> std::string& {
        return reg.values[FakeRegistry::id(root, key)];
    };
    const std::string program = "C:\\Program Files\\Tide well\\Varnholt.Exe";
    EXPECT_TRUE(ensureFileType(reg, reg, program));
    const std::string command = "\"C:\\Program Files\\Tide well\\Varnholt.Exe\" \"%1\"";
    const char* type = "software\\classes\\cfy_auto_file";
    EXPECT_EQ(at(RegistryRoot::ClassesRoot, ".cfy"), "cfy_auto_file");
    EXPECT_EQ(at(RegistryRoot::ClassesRoot, ".cfy\\shell\\open\\command"), command);
    EXPECT_EQ(at(RegistryRoot::LocalMachine, type), "Cofferly File");
    EXPECT_EQ(
        at(RegistryRoot::LocalMachine, "software\\classes\\cfy_auto_file\\shell\\open\\command"),
        command);
    int writes = reg.writes;
    EXPECT_FALSE(ensureFileType(reg, reg, program));
    EXPECT_EQ(reg.writes, writes);
    // A type name changed by someone else is written again.
    at(RegistryRoot::LocalMachine, type) = "Other";
    EXPECT_TRUE(ensureFileType(reg, reg, program));
    EXPECT_EQ(openCommand("C:\\\\Varnholt.Exe"), "\"C:\\\\Varnholt.Exe\" \"%1\"");
}

} // namespace

// A .cfy file reaching the program from the shell: the per-user registration
// when the machine-wide one cannot be written, and the panel a path opens.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "filesecurity/file_security_ids.h"
#include "filesecurity/file_type.h"
#include "filesecurity/panel.h"
#include "filesecurity_fakes.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using namespace tidewell::testing_fs;

namespace {

// Keys and values by root; the machine-wide roots (HKEY_CLASSES_ROOT writes
// land there too) refuse every write unless `admin`.
struct UserRegistry : Registry, KeyCreator {
    bool admin = false;
    std::map<std::string, std::string> values; // "root|key" -> default value
    std::map<std::string, bool> keys;
    int writes = 0;
    static std::string id(RegistryRoot root, const std::string& key) {
        return std::to_string(static_cast<unsigned>(root)) + "|" + key;
    }
    bool writable(RegistryRoot root) const { return admin || root == RegistryRoot::CurrentUser; }
    void createKey(RegistryRoot root, const std::string& path) override {
        for (std::size_t end = 0; writable(root) && end != std::string::npos;) {
            end = path.find('\\', end + 1);
            keys[id(root, path.substr(0, end))] = true; // and every parent
        }
    }
    void SetRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                          const std::string& value, RegistryType) override {
        ++writes;
        if (writable(root) && keys.count(id(root, key)) && name.empty())
            values[id(root, key)] = value;
    }
    std::string GetMachineValue(const std::string& key, const std::string&) override {
        return values[id(RegistryRoot::LocalMachine, key)];
    }
    std::string GetUserValue(const std::string& key, const std::string&) override {
        return values[id(RegistryRoot::CurrentUser, key)];
    }
    std::string& user(const std::string& key) {
        return values[id(RegistryRoot::CurrentUser, "Software\\Classes\\" + key)];
    }
};

const std::string kProgram = "C:\\Users\\Ann\\AppData\\Local\\Programs\\Tidewell\\Varnholt.Exe";

TEST(FileTypeForUser, RegisteredPerUserWhenTheMachineWideWriteFailsAndOnlyWhereItDiffers) {
    UserRegistry reg;
    ensureFileType(reg, reg, kProgram);
    EXPECT_TRUE(ensureUserFileType(reg, reg, kProgram));
    EXPECT_EQ(reg.user(".cfy"), "cfy_auto_file");
    EXPECT_EQ(reg.user("cfy_auto_file"), "Cofferly File");
    EXPECT_EQ(reg.user("cfy_auto_file\\shell\\open\\command"), "\"" + kProgram + "\" \"%1\"");
    EXPECT_EQ(reg.user("cfy_auto_file\\DefaultIcon"),
              "\"" + kProgram + "\",-" + std::to_string(IDI_ENCRYPTED_FILE));

    // The next start finds them in place: nothing written, the shell not told.
    int writes = reg.writes;
    EXPECT_FALSE(ensureUserFileType(reg, reg, kProgram));
    EXPECT_EQ(reg.writes, writes);
    // A copy in another folder takes the command and the icon over.
    const std::string moved = "D:\\Tidewell\\Varnholt.Exe";
    EXPECT_TRUE(ensureUserFileType(reg, reg, moved));
    EXPECT_EQ(reg.writes, writes + 2);
    EXPECT_EQ(reg.user("cfy_auto_file\\shell\\open\\command"), "\"" + moved + "\" \"%1\"");
}

TEST(FileTypeForUser, NothingPerUserWhileTheMachineWideEntryReadsBackRight) {
    UserRegistry reg;
    reg.admin = true;
    EXPECT_TRUE(ensureFileType(reg, reg, kProgram));
    EXPECT_FALSE(ensureUserFileType(reg, reg, kProgram));
    // Written by an administrator before; this user may not write it now.
    reg.admin = false;
    EXPECT_FALSE(ensureFileType(reg, reg, kProgram));
    EXPECT_FALSE(ensureUserFileType(reg, reg, kProgram));
    EXPECT_EQ(reg.user(".cfy"), "");
    EXPECT_EQ(reg.user("cfy_auto_file\\shell\\open\\command"), "");
}

TEST(OpenForDecryption, AnExistingCfyFileFillsSingleFileDecryptAnythingElseGivesThePathMessage) {
    MemoryFs fs;
    fs.addFile("C:\\Docs\\tax 2024.pdf.cfy", bytesOf("x"));
    fs.addFile("C:\\Docs\\LOUD.CFY", bytesOf("x"));
    fs.addFile("C:\\Docs\\tax.pdf", bytesOf("x"));
    fs.addFile("C:\\Docs\\.cfy", bytesOf("x"));
    fs.addFolder("C:\\Docs\\box.cfy");
    const struct {
        std::string path;
        std::string destination; // empty: refused
    } cases[] = {
        {"C:\\Docs\\tax 2024.pdf.cfy", "C:\\Docs\\tax 2024.pdf"},
        {"C:\\Docs\\LOUD.CFY", "C:\\Docs\\LOUD"},
        {"C:\\Docs\\gone.cfy", ""},
        {"C:\\Docs\\tax.pdf", ""},
        {"C:\\Docs\\.cfy", ""},
        {"C:\\Docs\\box.cfy", ""},
    };
    for (const auto& c : cases) {
        // A panel the user left in folder mode, encrypting, with fields filled.
        PanelModel m;
        toggleMode(m);
        m.txtSource = "C:\\Mine";
        m.txtDestination = "C:\\Mine.cfy";
        const auto problem = openForDecryption(m, c.path, fs, "Tidewell");
        if (c.destination.empty()) {
            EXPECT_EQ(problem,
                      (UserMessage{"Source file not found.", "Tidewell", kIconInformation}))
                << c.path;
            EXPECT_TRUE(folderMode(m) && direction(m) == Direction::Encrypt) << c.path;
            EXPECT_EQ(m.txtSource + "|" + m.txtDestination, "C:\\Mine|C:\\Mine.cfy") << c.path;
            continue;
        }
        EXPECT_EQ(problem, std::nullopt) << c.path;
        EXPECT_FALSE(folderMode(m)) << c.path;
        EXPECT_TRUE(m.cmdDecryptEnabled && !m.cmdEncryptEnabled) << c.path;
        EXPECT_EQ(m.lblSourceDestination[0] + m.lblSourceDestination[1],
                  "Source File:Destination File:");
        EXPECT_EQ(m.txtSource, c.path);
        EXPECT_EQ(m.txtDestination, c.destination);
        EXPECT_EQ(operationFor(m, false), Operation::DecryptSingleFile);
    }
}

} // namespace

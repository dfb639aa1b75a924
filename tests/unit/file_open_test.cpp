// A .cfy file reaching the program from the shell: the per-user registration
// when the machine-wide one cannot be written, and the panel a path opens.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "filesecurity/file_security_ids.h"
#include "filesecurity/file_type.h"
#include "filesecurity/panel.h"
#include "filesecurity_fakes.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using namespace tidewell::testing_fs;

namespace {

// Values of existing keys by root; the machine-wide roots (HKEY_CLASSES_ROOT
// writes land there too) refuse every write unless `admin`.
struct UserRegistry : Registry, KeyCreator {
    bool admin = false;
    std::map<std::string, std::string> values; // "root|key" -> default value
    std::set<std::string> keys;
    int writes = 0;
    static std::string id(RegistryRoot root, const std::string& key) {
        return std::to_string(static_cast<unsigned>(root)) + "|" + key;
    }
    void createKey(RegistryRoot root, const std::string& path) override {
        for (std::size_t end = 0; (admin || root == RegistryRoot::CurrentUser) && end != path.npos;)
            keys.insert(id(root, path.substr(0, end = path.find('\\', end + 1))));
    }
    void SetRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                          const std::string& value, RegistryType) override {
        ++writes;
        if (keys.count(id(root, key)) && name.empty())
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

TEST(FileTypeForUser, RegisteredPerUserOnlyWhenTheMachineWideWriteFailsAndOnlyWhereItDiffers) {
    const std::string program = "C:\\Users\\Ann\\Programs\\Tidewell\\Varnholt.Exe";
    UserRegistry reg;
    EXPECT_TRUE(ensureFileType(reg, reg, program));
    EXPECT_TRUE(ensureUserFileType(reg, reg, program));
    EXPECT_EQ(reg.user(".cfy"), "cfy_auto_file");
    EXPECT_EQ(reg.user("cfy_auto_file"), "Cofferly File");
    EXPECT_EQ(reg.user("cfy_auto_file\\shell\\open\\command"), "\"" + program + "\" \"%1\"");
    EXPECT_EQ(reg.user("cfy_auto_file\\DefaultIcon"),
              "\"" + program + "\",-" + std::to_string(IDI_ENCRYPTED_FILE));
    // The next start finds them in place: nothing written, the shell not told.
    const int writes = reg.writes;
    EXPECT_FALSE(ensureUserFileType(reg, reg, program));
    EXPECT_EQ(reg.writes, writes);
    // A copy in another folder takes the command and the icon over.
    EXPECT_TRUE(ensureUserFileType(reg, reg, "D:\\Varnholt.Exe"));
    EXPECT_EQ(reg.writes, writes + 2);
    EXPECT_EQ(reg.user("cfy_auto_file\\shell\\open\\command"), "\"D:\\Varnholt.Exe\" \"%1\"");

    // Where the machine-wide type reads back (written now, or by an
    // administrator before), nothing goes under the user's classes.
    UserRegistry machine;
    machine.admin = true;
    ensureFileType(machine, machine, program);
    machine.admin = false;
    EXPECT_FALSE(ensureUserFileType(machine, machine, program));
    EXPECT_EQ(machine.user(".cfy") + machine.user("cfy_auto_file"), "");
}

TEST(OpenForDecryption, AnExistingCfyFileFillsSingleFileDecryptAnythingElseGivesThePathMessage) {
    MemoryFs fs;
    for (const char* file :
         {"C:\\D\\tax 2024.pdf.cfy", "C:\\D\\LOUD.CFY", "C:\\D\\tax.pdf", "C:\\D\\.cfy"})
        fs.addFile(file, bytesOf("x"));
    fs.addFolder("C:\\D\\box.cfy");
    const struct {
        std::string path, destination; // no destination: refused
    } cases[] = {
        {"C:\\D\\tax 2024.pdf.cfy", "C:\\D\\tax 2024.pdf"},
        {"C:\\D\\LOUD.CFY", "C:\\D\\LOUD"},
        {"C:\\D\\gone.cfy", ""},
        {"C:\\D\\tax.pdf", ""},
        {"C:\\D\\.cfy", ""},
        {"C:\\D\\box.cfy", ""},
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
        EXPECT_EQ(operationFor(m, false), Operation::DecryptSingleFile) << c.path;
        EXPECT_TRUE(m.cmdDecryptEnabled && !m.cmdEncryptEnabled) << c.path;
        EXPECT_EQ(m.lblSourceDestination[0] + m.lblSourceDestination[1],
                  "Source File:Destination File:");
        EXPECT_EQ(m.txtSource + "|" + m.txtDestination, c.path + "|" + c.destination);
    }
}

} // namespace

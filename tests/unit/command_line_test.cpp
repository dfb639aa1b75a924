// A start with a command line: what it asks for and the path a second copy
// hands to the running one; and a .cfy file reaching the program from the
// shell: the per-user registration when the machine-wide one cannot be
// written. The panel a path opens and a second copy's start are the e2e
// tests'.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "filesecurity/file_security_ids.h"
#include "filesecurity/file_type.h"
#include "shell/command_line.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using Kind = CommandLine::Kind;
using namespace std::string_literals;

namespace {

// A path of `units` UTF-16 units: "C:\" and letters.
std::string pathOfUnits(std::size_t units) {
    return "C:\\" + std::string(units - 3, 'a');
}

// What a start with this command line does: "open <path>", "tray" or "none".
std::string asked(const std::string& tail) {
    const CommandLine c = parseCommandLine(tail);
    return c.kind == Kind::OpenFile ? "open " + c.path : c.kind == Kind::Tray ? "tray" : "none";
}

TEST(CommandLine, OnePathOrTrayAndEverythingElseIsAPlainStart) {
    const std::string longest = pathOfUnits(kMaxPathUnits);
    const std::pair<std::string, std::string> cases[] = {
        {"\"C:\\My Files\\tax 2024.cfy\"", "open C:\\My Files\\tax 2024.cfy"},
        // Unquoted, as a command without quotes passes a path with blanks.
        {"  C:\\My Files\\a  b.cfy ", "open C:\\My Files\\a  b.cfy"},
        // Backslashes before a closing quote are halved, as the C runtime does.
        {"\"C:\\x\\\\\"", "open C:\\x\\"},
        {"\"" + longest + "\"", "open " + longest},
        {"/tray", "tray"},
    };
    for (const auto& [tail, what] : cases) {
        EXPECT_EQ(asked(tail), what) << tail.substr(0, 60);
    }
    for (std::string unknown :
         {""s, " \t "s, "/tray /tray"s, "/tray C:\\a.cfy"s, "/unknown"s, "-s"s, "\"\""s,
          "\"C:\\a.cfy\" \"C:\\b.cfy\""s, "\"C:\\a.cfy\" /x"s,
          "\"" + pathOfUnits(kMaxPathUnits + 1) + "\"", pathOfUnits(kMaxPathUnits + 3)}) {
        EXPECT_EQ(asked(unknown), "none") << unknown.substr(0, 60);
    }
}

TEST(HandOver, OnlyOneAbsoluteWellFormedPathGetsThrough) {
    for (const std::string& path : {"C:\\a.cfy"s, "z:\\\xc3\x9c\xe6\x97\xa5 \xf0\x9f\x94\x92.cfy"s,
                                    "\\\\server\\share\\a.cfy"s, pathOfUnits(kMaxPathUnits)}) {
        EXPECT_EQ(decodeHandOver(kHandOverTag, path.data(), path.size()), path)
            << path.substr(0, 60);
    }
    // Relative, drive- and root-relative, UNC without share or server, a
    // stream, wildcards, quotes, pipes, control characters, broken, overlong,
    // surrogate and out-of-range UTF-8, too long.
    for (const std::string& path :
         {"a.cfy"s, "C:a.cfy"s, "\\a.cfy"s, "\\\\server"s, "\\\\\\share\\a.cfy"s,
          "C:\\a.cfy:hidden"s, "C:\\a*.cfy"s, "C:\\a?.cfy"s, "C:\\a\".cfy"s, "C:\\a|b.cfy"s,
          "C:\\a\nb.cfy"s, "C:\\a\0b.cfy"s, "C:\\\xc3(.cfy"s, "C:\\\xc0\xaf.cfy"s,
          "C:\\\xed\xa0\x80.cfy"s, "C:\\\xf4\x90\x80\x80.cfy"s, pathOfUnits(kMaxPathUnits + 1)}) {
        EXPECT_EQ(decodeHandOver(kHandOverTag, path.data(), path.size()), std::nullopt)
            << path.substr(0, 60);
    }
    const std::string path = "C:\\a.cfy";
    EXPECT_EQ(decodeHandOver(kHandOverTag + 1, path.data(), path.size()), std::nullopt);
    EXPECT_EQ(decodeHandOver(kHandOverTag, nullptr, path.size()), std::nullopt);
    EXPECT_EQ(decodeHandOver(kHandOverTag, path.data(), 0), std::nullopt);
}

// Values of existing keys by root; machine-wide keys cannot be made (a
// standard user's HKEY_LOCAL_MACHINE, where HKEY_CLASSES_ROOT writes land).
struct UserRegistry : Registry, KeyCreator {
    std::map<std::string, std::string> values; // "root|key" -> default value
    std::set<std::string> keys;
    int writes = 0;
    static std::string id(RegistryRoot root, const std::string& key) {
        return std::to_string(static_cast<unsigned>(root)) + "|" + key;
    }
    void createKey(RegistryRoot root, const std::string& path) override {
        if (root == RegistryRoot::CurrentUser)
            keys.insert(id(root, path));
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
    // Where the machine-wide type reads back, nothing goes under the user's classes.
    UserRegistry machine;
    machine
        .values[UserRegistry::id(RegistryRoot::LocalMachine, "SOFTWARE\\Classes\\cfy_auto_file")] =
        "Cofferly File";
    EXPECT_FALSE(ensureUserFileType(machine, machine, program));
    EXPECT_EQ(machine.writes, 0);
}

} // namespace

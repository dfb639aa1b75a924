// The rule of places no clean may empty, over the layouts that lost users'
// data: odd TEMP values, redirected shell folders, other spellings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaning/protected_places.h"
#include "cleaning_fakes.h"

using namespace tidewell;
using namespace tidewell::testing;

namespace {

const std::string kProfile = "C:\\Users\\bob";

KnownFolders machine() {
    KnownFolders k;
    k.windows = "C:\\Windows";
    k.programs = {"C:\\Program Files", "C:\\Program Files (x86)"};
    k.programData = "C:\\ProgramData";
    k.profiles = "C:\\Users";
    k.profile = kProfile;
    k.user = {
        {UserFolder::Documents, kProfile + "\\Documents"},
        {UserFolder::Desktop, kProfile + "\\Desktop"},
        {UserFolder::Favorites, kProfile + "\\Favorites"},
        {UserFolder::RoamingAppData, kProfile + "\\AppData\\Roaming"},
        {UserFolder::LocalAppData, kProfile + "\\AppData\\Local"},
        {UserFolder::StartMenu, kProfile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
        {UserFolder::Profile, kProfile}};
    return k;
}

class ProtectedPlacesTest : public ::testing::Test {
protected:
    ProtectedPlacesTest() {
        // A short name of the profile, and a link elsewhere that lands in it.
        fs.finalForms["C:\\USERS\\BOB~1"] = kProfile;
        fs.finalForms["D:\\redirect"] = kProfile + "\\Documents";
    }
    FakeFileSystem fs;
    ProtectedPlaces places{fs, machine};
};

TEST_F(ProtectedPlacesTest, NeverEmptiedWhateverTheSpelling) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\", "the root of a drive"},
        {"C:", "the root of a drive"},
        {"C:\\.", "the root of a drive"},
        {"C:\\Windows\\..", "the root of a drive"},
        {"\\\\?\\C:\\", "the root of a drive"},
        {"\\\\server\\share\\", "the root of a network share"},
        {"c:/WINDOWS/", "it is the Windows folder"},
        {"C:\\Windows\\System32", "it is inside the Windows folder"},
        {"C:\\Program Files (x86)\\App", "it is inside a folder of installed programs"},
        {"C:\\ProgramData", "it is the programs' shared data folder"},
        {"C:\\Users", "it is the folder of the user profiles"},
        {"C:\\Users\\bob", "it is a user's profile folder"},
        {"C:\\USERS\\BOB~1", "it is a user's profile folder"},
        {"C:\\Users\\alice.", "it is a user's profile folder"},
        {"\\\\?\\UNC\\server\\share\\x\\..", "the root of a network share"},
    };
    for (const auto& [path, why] : cases) {
        EXPECT_THAT(places.whyNeverEmptied(path).value_or("<may be emptied>"),
                    ::testing::HasSubstr(why))
            << path;
    }
    for (const char* path : {"C:\\Windows\\Temp", "C:\\Windows\\Temp\\x", "C:\\ProgramData\\App",
                             "C:\\Users\\bob\\Documents", "D:\\data", "\\\\server\\share\\x"}) {
        EXPECT_EQ(places.whyNeverEmptied(path), std::nullopt) << path;
    }
}

TEST_F(ProtectedPlacesTest, ATargetEmptiesOnlyItsOwnFolderNeverAnotherKnownOne) {
    struct Case {
        std::string folder;
        std::optional<UserFolder> own;
        bool may;
    };
    const Case cases[] = {
        {kProfile + "\\AppData\\Local\\Temp", std::nullopt, true},
        {kProfile + "\\Documents\\scratch", std::nullopt, true},
        {kProfile + "\\Documents", std::nullopt, false},
        {"D:\\redirect", std::nullopt, false}, // a link to Documents
        {kProfile + "\\AppData", std::nullopt, false},
        {kProfile + "\\AppData\\Roaming\\Microsoft\\Windows", std::nullopt, false},
        {kProfile, std::nullopt, false},
        {"C:\\", std::nullopt, false},
        {kProfile + "\\Documents", UserFolder::Documents, true},
        {kProfile + "\\Favorites", UserFolder::Favorites, true},
        {kProfile + "\\Desktop", UserFolder::Documents, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(places.targetMayEmpty(c.folder, c.own), c.may) << c.folder;
    }
}

} // namespace

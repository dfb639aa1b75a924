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
    const auto never = [&](const char* why, std::initializer_list<const char*> paths) {
        for (const char* path : paths) {
            EXPECT_THAT(places.whyNeverEmptied(path).value_or("<may be emptied>"),
                        ::testing::HasSubstr(why))
                << path;
        }
    };
    never("the root of a drive", {"C:\\", "C:", "C:\\.", "C:\\Windows\\..", "\\\\?\\C:\\"});
    never("the root of a network share",
          {"\\\\server\\share\\", "\\\\?\\UNC\\server\\share\\x\\.."});
    never("it is the Windows folder", {"c:/WINDOWS/"});
    never("it is inside the Windows folder", {"C:\\Windows\\System32"});
    never("it is inside a folder of installed programs", {"C:\\Program Files (x86)\\App"});
    never("it is the programs' shared data folder", {"C:\\ProgramData"});
    never("it is the folder of the user profiles", {"C:\\Users"});
    never("it is a user's profile folder",
          {"C:\\Users\\bob", "C:\\USERS\\BOB~1", "C:\\Users\\alice."});
    for (const char* path : {"C:\\Windows\\Temp", "C:\\Windows\\Temp\\x", "C:\\ProgramData\\App",
                             "C:\\Users\\bob\\Documents", "D:\\data", "\\\\server\\share\\x"}) {
        EXPECT_EQ(places.whyNeverEmptied(path), std::nullopt) << path;
    }
}

// A target without a known folder of its own may empty only unknown ones (and
// D:\redirect is a link to Documents); one with its own may empty that one.
TEST_F(ProtectedPlacesTest, ATargetEmptiesOnlyItsOwnFolderNeverAnotherKnownOne) {
    for (const std::string& folder :
         {kProfile + "\\AppData\\Local\\Temp", kProfile + "\\Documents\\scratch"}) {
        EXPECT_TRUE(places.targetMayEmpty(folder, std::nullopt)) << folder;
    }
    for (const std::string& folder :
         {kProfile + "\\Documents", std::string("D:\\redirect"), kProfile + "\\AppData",
          kProfile + "\\AppData\\Roaming\\Microsoft\\Windows", kProfile, std::string("C:\\")}) {
        EXPECT_FALSE(places.targetMayEmpty(folder, std::nullopt)) << folder;
    }
    EXPECT_TRUE(places.targetMayEmpty(kProfile + "\\Documents", UserFolder::Documents));
    EXPECT_TRUE(places.targetMayEmpty(kProfile + "\\Favorites", UserFolder::Favorites));
    EXPECT_FALSE(places.targetMayEmpty(kProfile + "\\Desktop", UserFolder::Documents));
}

} // namespace

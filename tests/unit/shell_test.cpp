// Portable shell logic: settings key paths, the error texts and strict
// number parsing, and start-up's association.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cleaning_fakes.h"
#include "kernel/app_error.h"
#include "kernel/report_error.h"
#include "kernel/settings_store.h"
#include "shell/startup.h"

using namespace tidewell;
using ::testing::ElementsAre;

namespace {

auto failsWith(long number) {
    return ::testing::Throws<AppError>(::testing::Property(&AppError::number, number));
}

TEST(SettingsKeyPath, NamesNestUnderTheClassicRootAndEmptyOnesAreRefused) {
    // A drive root's trailing backslash and doubled separators name the same key.
    EXPECT_EQ(settingsKeyPath("D:\\", "Settings"),
              "Software\\VB and VBA Program Settings\\D:\\Settings");
    EXPECT_EQ(settingsKeyPath("C:\\\\Apps\\", "Settings"), settingsKeyPath("C:\\Apps", "Settings"));
    // Empty names are refused.
    for (auto names : {std::pair{"", "S"}, {"A", ""}, {"\\\\", "S"}}) {
        EXPECT_THAT([&] { settingsKeyPath(names.first, names.second); },
                    failsWith(errors::InvalidArgument))
            << "'" << names.first << "' / '" << names.second << "'";
    }
}

TEST(StrictNumber, AcceptsDecimalIntegersOnly) {
    EXPECT_EQ(toLongStrict("-1"), -1);
    EXPECT_EQ(toLongStrict(" 42 "), 42);
    EXPECT_EQ(toLongStrict("2147483647"), 2147483647);
    EXPECT_EQ(toLongStrict("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "abc", "1a", "1.5", "0x10", "--1", "1 2"}) {
        EXPECT_THAT([&] { toLongStrict(bad); }, failsWith(errors::TypeMismatch))
            << "'" << bad << "'";
    }
    EXPECT_THAT([] { toLongStrict("2147483648"); }, failsWith(errors::Overflow));
}

// The common error text (a negative number keeps its sign) and the guard.
TEST(Guard, ReportsAndAbandonsTheRestOfTheHandler) {
    tidewell::testing::FakeReporter reporter;
    int reached = 0;
    bool completed = runGuarded(reporter, [&] {
        ++reached;
        throw AppError(53, "File not found");
        ++reached; // never reached: the handler is abandoned
    });
    EXPECT_FALSE(completed);
    EXPECT_EQ(reached, 1);

    EXPECT_FALSE(runGuarded(reporter, [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(runGuarded(reporter, [] { throw 42; }));
    EXPECT_TRUE(runGuarded(reporter, [] {}));
    EXPECT_THAT(reporter.messages,
                ElementsAre("Error: 53 - File not found", "Error: 7 - Out of memory",
                            "Error: 51 - Internal error"));
}

// ---- Start-up ----------------------------------------------------------------

// Records the calls that change something; WIN.INI as "section/key".
struct FakeStartup : StartupPorts {
    std::map<std::string, std::string> winIni;
    std::vector<std::string> calls;
    bool AnotherInstanceRunning() override { return false; }
    void ShowInformation(const std::string&, const std::string& text) override {
        calls.push_back("info:" + text);
    }
    std::string ReadWinIni(const std::string& section, const std::string& key,
                           const std::string& def) override {
        auto it = winIni.find(section + "/" + key);
        return it == winIni.end() ? def : it->second;
    }
    void WriteWinIni(const std::string& section, const std::string& key,
                     const std::string& value) override {
        calls.push_back("write:" + section + "/" + key + "=" + value);
        winIni[section + "/" + key] = value;
    }
    std::string ProgramFolder() override { return "C:\\Program Files\\Tidewell"; }
    void ShowMainWindow() override { calls.push_back("show"); }
};

// The association is written before the window shows, only when absent: any
// other value stays, even one pointing elsewhere or differing in case.
TEST(Startup, WritesTheAssociationOnlyWhenAbsent) {
    FakeStartup ports;
    EXPECT_EQ(Main(ports, {}), StartupResult::Started);
    EXPECT_THAT(ports.calls,
                ElementsAre("write:Extensions/CFY=C:\\Program Files\\Tidewell\\Varnholt.Exe ^.CFY",
                            "show"));
    for (const char* existing : {"D:\\Old\\Varnholt.Exe ^.CFY", "notfound", ""}) {
        FakeStartup again;
        again.winIni["Extensions/CFY"] = existing;
        Main(again, {});
        EXPECT_EQ(again.winIni["Extensions/CFY"], existing);
        EXPECT_THAT(again.calls, ElementsAre("show"));
    }
}

} // namespace

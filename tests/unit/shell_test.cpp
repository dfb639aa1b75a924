// Portable shell logic: product texts, OS names, settings key paths, the
// error texts and strict number parsing, start-up and the load order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "kernel/app_error.h"
#include "kernel/product_info.h"
#include "kernel/report_error.h"
#include "kernel/settings_store.h"
#include "shell/form_load.h"
#include "shell/os_name.h"
#include "shell/startup.h"

using namespace tidewell;
using ::testing::ElementsAre;

namespace {

auto failsWith(long number) {
    return ::testing::Throws<AppError>(::testing::Property(&AppError::number, number));
}

ProductInfo sampleProduct(unsigned major = 1, unsigned minor = 0) {
    return {"Tidewell", major, minor, "https://www.tidewell.example", "Copyright (C) 2026 us"};
}

// The second-instance message is checked with start-up below.
TEST(ProductText, PlainDecimalNumbersWithoutPaddingAndTheBannersNoticeAndAddress) {
    EXPECT_EQ(productVersionText(sampleProduct(1, 0)), "Tidewell v1.0");
    EXPECT_EQ(productVersionText(sampleProduct(2, 10)), "Tidewell v2.10");
    EXPECT_EQ(bannerText(sampleProduct(1, 2), "Popup Killer"),
              "Popup Killer v1.2 Copyright (C) 2026 us https://www.tidewell.example");
}

struct OsCase {
    OsVersion version;
    const char* name;
};

TEST(OsName, ClassicTableAndCurrentSystems) {
    const OsCase cases[] = {
        {{true, 1, 4, 0, 950}, "Windows 95"},
        {{true, 1, 4, 10, 1998}, "Windows 98"},
        {{true, 1, 4, 90, 3000}, ""}, // Me is not in the table
        {{true, 2, 3, 51, 1057}, "Windows NT 3.51"},
        {{true, 2, 4, 0, 1381}, "Windows NT 4.0"},
        {{true, 2, 5, 0, 2195}, "Windows 2000"},
        {{true, 2, 5, 1, 2600}, "Windows XP"},
        {{true, 2, 5, 2, 3790}, "Windows XP"},
        {{true, 2, 6, 0, 6002}, "Windows Vista"},
        {{true, 2, 6, 1, 7601}, "Windows 7"},
        {{true, 2, 6, 2, 9200}, "Windows 8"},
        {{true, 2, 6, 3, 9600}, "Windows 8.1"},
        {{true, 2, 10, 0, 21999}, "Windows 10"},
        {{true, 2, 10, 0, 22000}, "Windows 11"},
        {{true, 2, 12, 0, 30000}, ""},
        {{true, 3, 10, 0, 19045}, "Failed"},
        {{false, 2, 10, 0, 19045}, "Failed"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(osNameFor(c.version), c.name)
            << "platform " << c.version.platform << " " << c.version.major << "." << c.version.minor
            << "." << c.version.build;
    }
}

TEST(SettingsKeyPath, NamesNestUnderTheClassicRootAndFolderPathsRoundTrip) {
    EXPECT_EQ(settingsKeyPath("Tidewell", "Schedule"),
              "Software\\VB and VBA Program Settings\\Tidewell\\Schedule");
    EXPECT_EQ(settingsKeyPath("C:\\Program Files\\Tidewell", "Settings"),
              "Software\\VB and VBA Program Settings\\C:\\Program Files\\Tidewell\\Settings");
    // A drive root's trailing backslash and doubled separators name the same key.
    EXPECT_EQ(settingsKeyPath("D:\\", "Settings"),
              "Software\\VB and VBA Program Settings\\D:\\Settings");
    EXPECT_EQ(settingsKeyPath("C:\\\\Apps\\", "Settings"), settingsKeyPath("C:\\Apps", "Settings"));
}

TEST(SettingsKeyPath, EmptyNamesAreRefused) {
    for (auto names : {std::pair{"", "S"}, {"A", ""}, {"\\\\", "S"}}) {
        EXPECT_THAT([&] { settingsKeyPath(names.first, names.second); },
                    failsWith(errors::InvalidArgument))
            << "'" << names.first << "' / '" << names.second << "'";
    }
}

// The common form itself is checked with the guard below.
TEST(ErrorText, NegativeNumbersKeepTheirSign) {
    EXPECT_EQ(errorMessageText(-2147024891, "Access is denied."),
              "Error: -2147024891 - Access is denied.");
}

TEST(StrictNumber, AcceptsDecimalIntegersOnly) {
    EXPECT_EQ(toLongStrict("0"), 0);
    EXPECT_EQ(toLongStrict("-1"), -1);
    EXPECT_EQ(toLongStrict(" 42 "), 42);
    EXPECT_EQ(toLongStrict("+7"), 7);
    EXPECT_EQ(toLongStrict("2147483647"), 2147483647);
    EXPECT_EQ(toLongStrict("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "abc", "1a", "1.5", "0x10", "--1", "1 2"}) {
        EXPECT_THAT([&] { toLongStrict(bad); }, failsWith(errors::TypeMismatch))
            << "'" << bad << "'";
    }
    EXPECT_THAT([] { toLongStrict("2147483648"); }, failsWith(errors::Overflow));
}

class RecordingReporter : public ErrorReporter {
public:
    void ReportError(long number, const std::string& description) override {
        reports.push_back(errorMessageText(number, description));
    }
    std::vector<std::string> reports;
};

TEST(Guard, ReportsAndAbandonsTheRestOfTheHandler) {
    RecordingReporter reporter;
    int reached = 0;
    bool completed = runGuarded(reporter, [&] {
        ++reached;
        throw AppError(53, "File not found");
        ++reached; // never reached: the handler is abandoned
    });
    EXPECT_FALSE(completed);
    EXPECT_EQ(reached, 1);
    EXPECT_THAT(reporter.reports, ElementsAre("Error: 53 - File not found"));

    EXPECT_FALSE(runGuarded(reporter, [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(runGuarded(reporter, [] { throw 42; }));
    EXPECT_TRUE(runGuarded(reporter, [] {}));
    ASSERT_EQ(reporter.reports.size(), 3u);
    EXPECT_EQ(reporter.reports[1], "Error: 7 - Out of memory");
    EXPECT_EQ(reporter.reports[2], "Error: 51 - Internal error");
}

// ---- Start-up ----------------------------------------------------------------

class FakeStartup : public StartupPorts {
public:
    bool running = false;
    std::map<std::string, std::string> winIni;
    std::string folder = "C:\\Program Files\\Tidewell";
    std::vector<std::string> calls;

    bool AnotherInstanceRunning() override {
        calls.push_back("instance?");
        return running;
    }
    void ShowInformation(const std::string& title, const std::string& text) override {
        calls.push_back("info:" + title + "|" + text);
    }
    std::string ReadWinIni(const std::string& section, const std::string& key,
                           const std::string& def) override {
        calls.push_back("read:" + section + "/" + key);
        auto it = winIni.find(section + "/" + key);
        return it == winIni.end() ? def : it->second;
    }
    void WriteWinIni(const std::string& section, const std::string& key,
                     const std::string& value) override {
        calls.push_back("write:" + section + "/" + key + "=" + value);
        winIni[section + "/" + key] = value;
    }
    std::string ProgramFolder() override { return folder; }
    void ShowMainWindow() override { calls.push_back("show"); }
};

TEST(Startup, SecondCopyShowsTheMessageAndTouchesNothing) {
    FakeStartup ports;
    ports.running = true;
    EXPECT_EQ(Main(ports, sampleProduct(1, 0)), StartupResult::AlreadyRunning);
    EXPECT_THAT(ports.calls,
                ElementsAre("instance?", "info:Tidewell|Tidewell v1.0 already running."));
    EXPECT_TRUE(ports.winIni.empty());
}

TEST(Startup, WritesTheAssociationOnlyWhenAbsent) {
    FakeStartup ports;
    EXPECT_EQ(Main(ports, sampleProduct()), StartupResult::Started);
    EXPECT_THAT(ports.calls,
                ElementsAre("instance?", "read:Extensions/CFY",
                            "write:Extensions/CFY=C:\\Program Files\\Tidewell\\Varnholt.Exe ^.CFY",
                            "show"));

    // Any other value stays, even one pointing elsewhere or differing in case.
    for (const char* existing : {"D:\\Old\\Varnholt.Exe ^.CFY", "notfound", ""}) {
        FakeStartup again;
        again.winIni["Extensions/CFY"] = existing;
        Main(again, sampleProduct());
        EXPECT_EQ(again.winIni["Extensions/CFY"], existing);
        EXPECT_THAT(again.calls, ElementsAre("instance?", "read:Extensions/CFY", "show"));
    }
}

TEST(Startup, ProgramPathKeepsOnlyADriveRootsBackslash) {
    EXPECT_EQ(programPath("C:\\Apps\\Tidewell"), "C:\\Apps\\Tidewell\\Varnholt.Exe");
    EXPECT_EQ(programPath("C:\\Apps\\Tidewell\\"), "C:\\Apps\\Tidewell\\Varnholt.Exe");
    EXPECT_EQ(programPath("E:\\"), "E:\\Varnholt.Exe");
    EXPECT_EQ(programPath("\\\\server\\share"), "\\\\server\\share\\Varnholt.Exe");
}

TEST(Startup, UserLabelNeverShowsGarbage) {
    EXPECT_EQ(userLabelText(true, "WORKSTATION-7"), "User WORKSTATION-7");
    EXPECT_EQ(userLabelText(false, "\x01\x02junk"), "User ");
}

// ---- Load order ----------------------------------------------------------------

class RecordingLoad : public FormLoadSteps {
public:
    std::vector<int> steps;
    int failAt = 0;
    void record(int n) {
        steps.push_back(n);
        if (n == failAt) {
            throw AppError(5, "Invalid procedure call or argument");
        }
    }
    void setCaption() override { record(1); }
    void setShowItemCaption() override { record(2); }
    void setWebSiteLabel() override { record(3); }
    void installKeyboardHook() override { record(4); }
    void setUserLabel() override { record(5); }
    void setOsLabel() override { record(6); }
    void loadPopupKillerSwitch() override { record(7); }
    void createWindowTracker() override { record(8); }
    void initPanels() override { record(9); }
    void applyDefaultThenStoredOptions() override { record(10); }
    void loadAutoSuggest() override { record(11); }
    void loadHomePage() override { record(12); }
    void setLoaded() override { record(13); }
    void addTrayIcon() override { record(14); }
    void loadSchedule() override { record(15); }
    void setStatusReady() override { record(16); }
    void startBanners() override { record(17); }
    void markPopupKillerMenu() override { record(18); }
};

TEST(FormLoad, AFailureSkipsTheRemainingSteps) {
    RecordingLoad load;
    load.failAt = 9;
    RecordingReporter reporter;
    EXPECT_FALSE(runGuarded(reporter, [&] { runFormLoad(load); }));
    EXPECT_THAT(load.steps, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9));
    EXPECT_THAT(reporter.reports, ElementsAre("Error: 5 - Invalid procedure call or argument"));
}

} // namespace

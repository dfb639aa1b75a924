#pragma once
// The clean run over doubles, where the run's and the preview's tests both
// start: the user's folders of the run, each holding one trace, the two
// index.dat files and a temporary folder.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "cleaning/clean_run.h"
#include "cleaning_fakes.h"
#include "memory_store.h"
#include "settings/browser_tweaks.h"

namespace tidewell::testing {

// The window, the schedule and the log-off around a run.
struct FakeHost : CleanRunWindow, CleanRunSchedule, LogOff {
    std::array<int, 16> options{};
    int broughtForward = 0, logOffs = 0;
    bool pending = false;
    std::vector<std::string> log;
    std::function<void()> onYield = [] {};
    int optionValue(int i) override { return options[static_cast<size_t>(i)]; }
    void bringForward() override { ++broughtForward; }
    void yield() override { onYield(); }
    bool editsPending() override { return pending; }
    void runStarting() override { log.push_back("starting"); }
    void runFinished() override { log.push_back("finished"); }
    void forceLogOff() override { ++logOffs; }
};

class CleanRunTest : public ::testing::Test {
protected:
    CleanRunTest() {
        platform.folders = {
            {CSIDL_History, "C:\\u\\History"}, {CSIDL_InternetCache, "C:\\u\\Cache"},
            {CSIDL_Cookies, "C:\\u\\Cookies"}, {CSIDL_Favorites, "C:\\u\\Fav"},
            {CSIDL_Personal, "C:\\u\\Docs"},   {CSIDL_Recent, "C:\\u\\Recent"}};
        for (const auto& [id, path] : platform.folders) {
            fs.dir(path);
            fs.file(path + "\\trace.txt", "abcd");
        }
        fs.dir("C:\\Temp");
        fs.file("C:\\Temp\\t.tmp", "12");
        fs.dir("C:\\u\\History\\History.IE5");
        fs.file("C:\\u\\History\\History.IE5\\index.dat", "0123456789").hidden = true;
        fs.file("C:\\u\\Cookies\\INDEX.DAT").system = true;
    }
    FakeFileSystem fs;
    FakePane pane;
    FakeLabel label;
    FakeReporter errors;
    FakePlatform platform;
    FakeRegistry registry;
    testing_store::MemoryStore store;
    std::function<void()> onWipeYield;
    FolderWiper wiper{fs, pane, [this] {
                          if (onWipeYield) {
                              onWipeYield();
                          }
                      }};
    EraseTargets targets{pane, label, platform, wiper, fs, errors};
    BrowserTweaks tweaks{registry, store, {}};
    FakeHost window, &timers = window, &logOff = window;
    CleaningActivity activity;
    CleanRun run{window, window, pane, label, targets, platform, tweaks, errors, activity};
};

} // namespace tidewell::testing

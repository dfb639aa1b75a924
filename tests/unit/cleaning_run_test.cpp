// Erase targets, the clean run and the "Advanced" commands over doubles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaning/advanced_commands.h"
#include "clean_run_fixture.h"

using namespace tidewell;
using namespace tidewell::testing;
using ::testing::ElementsAre;

namespace {

using CleaningTest = CleanRunTest;

// Each target writes its lines (colour-tagged), sets the label or not, and
// removes `removed` paths, all inside `wiped`.
TEST_F(CleaningTest, TargetsWriteTheirLinesAndWipeOnlyTheirFolder) {
    struct Row {
        const char* name;
        std::function<void()> act;
        std::string pane, label, wiped;
        int removed;
    };
    const std::string fin = "[G]\r\nFinished ";
    // A target's usual lines: its path, its caption, `middle`, then finished.
    const auto lines = [&](const std::string& path, const std::string& name,
                           const std::string& middle = "") {
        return "[B]\r\nPath: " + path + "\r\n" + name + " ..." + middle + fin + name;
    };
    const std::string indexPaths =
        "[B]\r\nPath: C:\\u\\History\r\nPath: C:\\u\\Cache\r\nPath: C:\\u\\Cookies\r\nI ...";
    const Row rows[] = {
        {"history", [&] { targets.EraseHistory("H"); }, lines("C:\\u\\History", "H"), "H ...",
         "C:\\u\\History", 3},
        {"temp drops its trailing backslash", [&] { targets.EraseTempFiles("T"); },
         lines("C:\\Temp", "T"), "T ...", "C:\\Temp", 1},
        {"an empty temp path is no current directory",
         [&] {
             platform.temp = "";
             targets.EraseTempFiles("T");
         },
         lines("", "T", "[R]The folder path is empty or not a full path: \"\"\r\n"), "T ...", "",
         0},
        {"a missing special folder wipes nothing",
         [&] {
             platform.folders.erase(CSIDL_Favorites);
             targets.EraseFavorites("F");
         },
         lines("", "F"), "", "", 0},
        {"index.dat files, a locked one in red",
         [&] {
             fs.nodes["C:\\u\\Cookies\\INDEX.DAT"].locked = true;
             targets.EraseIndexDat("I");
         },
         indexPaths + "[R]\r\nIn use, not erased: C:\\u\\Cookies\\INDEX.DAT" + fin + "I (2 found)",
         "", "C:\\u\\History\\History.IE5", 1},
        {"index.dat search never enters a link",
         [&] {
             fs.dir("D:\\elsewhere");
             fs.file("D:\\elsewhere\\index.dat");
             fs.link("C:\\u\\Cache\\lnk", "D:\\elsewhere");
             targets.EraseIndexDat("I");
         },
         indexPaths + fin + "I (2 found)", "", "C:\\u", 2},
    };
    const auto fresh = fs;
    const auto folders = platform.folders;
    for (const Row& row : rows) {
        fs = fresh;
        platform.folders = folders;
        platform.temp = "C:\\Temp\\";
        pane.Clear();
        label.text.clear();
        row.act();
        EXPECT_EQ(pane.tagged(), row.pane) << row.name;
        EXPECT_EQ(label.Text(), row.label) << row.name;
        int removed = 0;
        for (const auto& [path, node] : fresh.nodes) {
            if (!fs.exists(path) && ++removed) {
                EXPECT_EQ(path.rfind(row.wiped + "\\", 0), 0u) << row.name << " removed " << path;
            }
        }
        EXPECT_EQ(removed, row.removed) << row.name;
    }
    EXPECT_TRUE(errors.messages.empty());
}

// Checked options run in index order (grayed counts as off) and only they
// act; the freed space comes last before "Done".
TEST_F(CleaningTest, RunGoesInIndexOrderAndSideEffectsOnlyForCheckedOptions) {
    for (int i : {2, 3, 5, 7, 9, 10, 11, 12, 13, 14}) {
        window.options[static_cast<size_t>(i)] = 1;
    }
    window.options[6] = 2;
    platform.binBytes = 2048;
    run.cmdBasicClean_Click();
    std::string finished;
    const std::string t = pane.text();
    for (size_t at = t.find("Finished Erasing "); at != std::string::npos;
         at = t.find("Finished Erasing ", at + 1)) {
        finished += t.substr(at + 17, t.find("\r\n", at) - at - 17) + "|";
    }
    EXPECT_EQ(finished, "'Auto Complete' Site Addresses|Recent Files|Contents of Recycle Bin|"
                        "Browser Cookies|Internet History|Windows Temporary Files|"
                        "Windows Start Run History|");
    EXPECT_THAT(platform.deletedKeys, ElementsAre(kTypedUrlsKey, kRunMruKey));
    EXPECT_EQ(platform.clipboardEmptied, 1);
    EXPECT_EQ(platform.binEmptied, 1);
    EXPECT_TRUE(fs.exists("C:\\u\\Cache\\trace.txt"));
    EXPECT_TRUE(fs.exists("C:\\u\\Docs\\trace.txt"));
    EXPECT_EQ(registry.values.at(std::string(kIeMainKey) + "|Disable Script Debugger"), "yes");
    EXPECT_THAT(pane.tagged(), ::testing::EndsWith(
                                   "History\r\nSpace freed on your Hard Drive: 2.0 KB[K]\r\nDone"));
}

// An empty run writes only "Done" and re-arms the schedule; a failed one
// reports, stops and still re-arms it; a pending schedule edit leaves
// everything alone. Clean && Reboot asks, true to what the run did, and logs
// off only on Yes.
TEST_F(CleaningTest, CleanAndRebootAsksTrulyAndLogsOffOnlyOnYes) {
    std::vector<std::string> asked;
    auto answer = [&](bool yes) {
        return [&asked, yes](const std::string& q) {
            asked.push_back(q.substr(0, q.find("\r\n")));
            return yes;
        };
    };
    run.cmdCleanRebot_Click(answer(false), logOff);
    EXPECT_EQ(logOff.logOffs, 0);
    EXPECT_EQ(pane.tagged(), "[K]\r\nDone") << "the clean itself ran";
    EXPECT_THAT(timers.log, ElementsAre("starting", "finished"));

    window.options[12] = 1;
    window.options[13] = 1;
    platform.clipboardFails = true;
    run.cmdCleanRebot_Click(answer(false), logOff);
    EXPECT_THAT(errors.messages,
                ElementsAre("Error: 1418 - Thread does not have a clipboard open."));
    EXPECT_EQ(pane.text(), "") << "no \"Done\"";
    EXPECT_TRUE(platform.deletedKeys.empty()) << "the run ended at option 12";
    EXPECT_EQ(timers.log.size(), 4u);
    timers.pending = true; // a declined run still leads to the question
    pane.Append("kept");
    run.cmdCleanRebot_Click(answer(true), logOff);
    EXPECT_EQ(logOff.logOffs, 1);
    EXPECT_EQ(pane.text(), "kept");
    EXPECT_EQ(timers.log.size(), 4u);
    EXPECT_THAT(asked, ElementsAre("Cleaning is finished. Log off now?",
                                   "Cleaning stopped at an error. Log off anyway?",
                                   "Nothing was cleaned: schedule changes are pending. Log off "
                                   "anyway?"));
}

TEST_F(CleaningTest, DangerousLayoutsAreRefusedInRedAndTheRunGoesOn) {
    platform.known.profile = "C:\\u";
    platform.known.user = {{UserFolder::Documents, "C:\\u\\Docs"},
                           {UserFolder::Favorites, "C:\\u\\Fav"},
                           {UserFolder::Profile, "C:\\u"}};
    fs.file("C:\\u\\canary.txt");
    fs.file("C:\\root-canary.txt");
    fs.file("C:\\u\\Docs\\index.dat");
    for (int i : {1, 3, 7, 9, 11}) {
        window.options[static_cast<size_t>(i)] = 1;
    }
    const auto defaults = platform.folders;
    // The temporary folder (0) or a special folder, laid out where it must not be emptied.
    const std::pair<int, std::string> layouts[] = {{0, "C:\\u"},
                                                   {0, "C:"},
                                                   {0, "C:\\u\\Docs"},
                                                   {CSIDL_Cookies, "C:\\u"},
                                                   {CSIDL_History, "C:\\u\\Docs"},
                                                   {CSIDL_Recent, "C:"}};
    for (const auto& [id, refused] : layouts) {
        platform.folders = defaults;
        platform.temp = id == 0 ? refused + "\\" : "C:\\Temp\\";
        if (id != 0) {
            platform.folders[id] = refused;
        }
        run.cmdBasicClean_Click();
        EXPECT_THAT(pane.tagged(), ::testing::HasSubstr("[R]\r\nNot erased: " + refused +
                                                        " is not a folder this option may empty"));
        for (const char* canary : {"C:\\u\\canary.txt", "C:\\root-canary.txt",
                                   "C:\\u\\Docs\\trace.txt", "C:\\u\\Docs\\index.dat"}) {
            EXPECT_TRUE(fs.exists(canary)) << canary << " lost with " << refused;
        }
        EXPECT_THAT(pane.tagged(), ::testing::EndsWith("[K]\r\nDone")) << "the run goes on";
    }
}

// ---- Advanced tab -----------------------------------------------------------

struct FakeDialogs : AdvancedDialogs {
    std::optional<std::string> file, folder;
    bool answer = true;
    std::string initialFolder;
    std::vector<std::string> questions, failures, warnings;
    int mainTab = 0;
    std::optional<std::string> chooseFile(const std::string& initial) override {
        initialFolder = initial;
        return file;
    }
    std::optional<std::string> chooseFolder(const std::string&) override { return folder; }
    bool askYesNo(const std::string& text, const std::string& title) override {
        questions.push_back(title + ": " + text);
        return answer;
    }
    void showWarning(const std::string& text, const std::string& title) override {
        warnings.push_back(title + ": " + text);
    }
    void showFailure(const std::string& d) override { failures.push_back(d); }
    void selectMainTab() override { ++mainTab; }
};

class AdvancedTest : public CleaningTest {
protected:
    FakeDialogs dialogs;
    AdvancedCommands advanced{
        pane, fs, store, targets, dialogs, activity, "C:\\Program Files\\Tidewell"};
};

TEST_F(AdvancedTest, ShredOverwritesTheFileInPlaceThenDeletesItAndRemembersTheFolder) {
    fs.dir("D:\\s");
    fs.file("D:\\s\\secret.txt", std::string(100, 'S')).readOnly = true;
    dialogs.file = "D:\\s\\secret.txt";
    advanced.cmdBrowseFile_Click();
    EXPECT_EQ(dialogs.initialFolder, "C:\\Program Files\\Tidewell");
    EXPECT_FALSE(fs.exists("D:\\s\\secret.txt"));
    EXPECT_THAT(fs.overwritten, ElementsAre(std::string(kShredFiller, 100)))
        << "the filler over the whole length";
    EXPECT_EQ(pane.text(),
              "Deleting File D:\\s\\secret.txt ...\r\nOverwriting File D:\\s\\secret.txt ...\r\n"
              "Deleting File D:\\s\\secret.txt ...\r\nFinished");
    EXPECT_EQ(store.stored("BrowseFile", "Path"), "D:\\s");
    EXPECT_EQ(dialogs.mainTab, 1);

    dialogs.file.reset();
    advanced.cmdBrowseFile_Click();
    EXPECT_EQ(dialogs.initialFolder, "D:\\s") << "starts where the last file was";
}

// Cancel, No, a file another program holds and one that cannot be deleted:
// the file stays.
TEST_F(AdvancedTest, CancelNoOrALockedOrUndeletableFileKeepTheFile) {
    advanced.cmdBrowseFile_Click();
    EXPECT_TRUE(dialogs.questions.empty());

    fs.file("D:\\keep.txt");
    dialogs.file = "D:\\keep.txt";
    dialogs.answer = false;
    advanced.cmdBrowseFile_Click();
    EXPECT_TRUE(fs.exists("D:\\keep.txt"));
    EXPECT_TRUE(store.written.empty());
    EXPECT_EQ(dialogs.mainTab, 0);
    EXPECT_THAT(dialogs.questions, ElementsAre("Delete File: Are you sure?"));

    dialogs.answer = true;
    auto& keep = fs.nodes["D:\\keep.txt"];
    keep.locked = true;
    advanced.cmdBrowseFile_Click();
    keep.locked = false;
    keep.undeletable = true;
    advanced.cmdBrowseFile_Click();
    EXPECT_TRUE(fs.exists("D:\\keep.txt"));
    EXPECT_THAT(dialogs.failures, ElementsAre(::testing::HasSubstr("being used by another process"),
                                              "Access is denied."));
}

TEST_F(AdvancedTest, FolderEraseRefusesAProtectedPlaceBeforeAskingAndErasesAChosenOne) {
    fs.dir("E:\\");
    fs.file("E:\\x.txt");
    dialogs.folder = "E:\\";
    advanced.cmdBrowseFolderToDelete_Click();
    EXPECT_THAT(dialogs.warnings, ElementsAre(::testing::StartsWith(
                                      "Erase Folder: \"E:\" will not be erased: it is the root")));
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(fs.exists("E:\\x.txt"));

    platform.known.user = {{UserFolder::Documents, "C:\\u\\Docs"}};
    dialogs.folder = "C:\\u\\Docs\\";
    advanced.cmdBrowseFolderToDelete_Click();
    EXPECT_THAT(dialogs.questions, ElementsAre("Delete Folder: Are you sure?"));
    EXPECT_THAT(pane.text(),
                ::testing::StartsWith("\r\nPath: C:\\u\\Docs\r\nErasing Selected Folder ..."));
    EXPECT_FALSE(fs.exists("C:\\u\\Docs\\trace.txt")) << "a user folder chosen on purpose";

    fs.file("C:\\u\\Docs\\y.txt");
    dialogs.answer = false;
    advanced.cmdBrowseFolderToDelete_Click();
    EXPECT_TRUE(fs.exists("C:\\u\\Docs\\y.txt"));
}

TEST_F(AdvancedTest, ShredRemovesALinkAsALinkAndRefusesAFileWithOtherNames) {
    fs.file("D:\\target.txt", "keep");
    fs.file("D:\\link.txt").fileLink = true;
    advanced.shredFile("D:\\link.txt");
    EXPECT_FALSE(fs.exists("D:\\link.txt"));
    EXPECT_EQ(fs.nodes["D:\\target.txt"].contents, "keep");
    EXPECT_TRUE(fs.overwritten.empty());
    EXPECT_THAT(pane.text(), ::testing::StartsWith("Deleting Link D:\\link.txt ... (a link"));

    fs.nodes["D:\\target.txt"].hardLinks = 2;
    dialogs.file = "D:\\target.txt";
    advanced.cmdBrowseFile_Click();
    EXPECT_EQ(fs.nodes["D:\\target.txt"].contents, "keep");
    EXPECT_THAT(dialogs.failures, ElementsAre(::testing::HasSubstr("has 2 names (hard links)")));
}

TEST_F(AdvancedTest, EveryCommandDuringACleanRunIsIgnoredNotNested) {
    dialogs.folder = "C:\\u\\Docs";
    window.options[7] = 1;
    int nested = 0;
    window.onYield = [&] {
        nested += run.cmdBasicClean_Click() != CleanOutcome::NotStarted ? 1 : 0;
        run.cmdCleanRebot_Click([](const std::string&) { return true; }, logOff);
        advanced.cmdBrowseFolderToDelete_Click();
        advanced.cmdBrowseFile_Click();
    };
    run.cmdBasicClean_Click();
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(logOff.logOffs, 0);
    EXPECT_EQ(window.broughtForward, 1);
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(fs.exists("C:\\u\\Docs\\trace.txt"));
    EXPECT_FALSE(activity.busy());
    EXPECT_EQ(run.cmdBasicClean_Click(), CleanOutcome::Finished) << "free again afterwards";
}

} // namespace

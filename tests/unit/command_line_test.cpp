// The command line, the hand-over of a path from a second copy to the
// running one, and what a second copy does with each kind of start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/startup.h"

using namespace tidewell;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = CommandLine::Kind;

namespace {

// A path of `units` UTF-16 units: "C:\" and letters.
std::string pathOfUnits(std::size_t units) {
    return "C:\\" + std::string(units - 3, 'a');
}

TEST(CommandLine, OnePathOrTrayAndEverythingElseIsAPlainStart) {
    const struct {
        std::string tail;
        Kind kind;
        std::string path;
    } cases[] = {
        {"", Kind::None, ""},
        {" \t ", Kind::None, ""},
        {"\"C:\\My Files\\tax 2024.cfy\"", Kind::OpenFile, "C:\\My Files\\tax 2024.cfy"},
        // Unquoted, as a command without quotes passes a path with blanks.
        {"  C:\\My Files\\a  b.cfy ", Kind::OpenFile, "C:\\My Files\\a  b.cfy"},
        {"notes.cfy", Kind::OpenFile, "notes.cfy"},
        {"\"C:\\\xc3\x9c\\\xe6\x97\xa5.cfy\"", Kind::OpenFile, "C:\\\xc3\x9c\\\xe6\x97\xa5.cfy"},
        // Backslashes before a closing quote are halved, as the C runtime does.
        {"\"C:\\x\\\\\"", Kind::OpenFile, "C:\\x\\"},
        {"/tray", Kind::Tray, ""},
        {" /TRAY ", Kind::Tray, ""},
        {"/tray /tray", Kind::None, ""},
        {"/tray C:\\a.cfy", Kind::None, ""},
        {"/unknown", Kind::None, ""},
        {"-s", Kind::None, ""},
        {"\"C:\\a.cfy\" \"C:\\b.cfy\"", Kind::None, ""},
        {"\"C:\\a.cfy\" /x", Kind::None, ""},
        {"\"\"", Kind::None, ""},
        {"\"" + pathOfUnits(kMaxPathUnits) + "\"", Kind::OpenFile, pathOfUnits(kMaxPathUnits)},
        {"\"" + pathOfUnits(kMaxPathUnits + 1) + "\"", Kind::None, ""},
        {pathOfUnits(kMaxPathUnits + 3), Kind::None, ""},
    };
    for (const auto& c : cases) {
        const CommandLine got = parseCommandLine(c.tail);
        EXPECT_EQ(got.kind, c.kind) << c.tail.substr(0, 60);
        EXPECT_EQ(got.path, c.path) << c.tail.substr(0, 60);
    }
}

TEST(HandOver, OnlyOneAbsoluteWellFormedPathGetsThrough) {
    const std::string good[] = {
        "C:\\a.cfy",
        "z:\\Docs\\\xc3\x9c\xe6\x97\xa5 \xf0\x9f\x94\x92.cfy",
        "\\\\server\\share\\a.cfy",
        pathOfUnits(kMaxPathUnits),
    };
    for (const std::string& path : good) {
        EXPECT_EQ(decodeHandOver(kHandOverTag, path.data(), path.size()), path)
            << path.substr(0, 60);
    }
    const std::string bad[] = {
        "a.cfy",                         // relative
        "C:a.cfy",                       // relative to a drive's folder
        "\\a.cfy",                       // relative to the current drive
        "\\\\server",                    // no share
        "\\\\\\share\\a.cfy",            // no server
        "C:\\a.cfy:hidden",              // a stream of the file
        "C:\\a*.cfy",                    // wildcards
        "C:\\a?.cfy",                    //
        "C:\\a\".cfy",                   // a second argument in the making
        "C:\\a|b.cfy",                   //
        "C:\\a\nb.cfy",                  // control characters
        std::string("C:\\a\0b.cfy", 11), // a terminator inside
        "C:\\\xc3(.cfy",                 // broken UTF-8
        "C:\\\xc0\xaf.cfy",              // an overlong "/"
        "C:\\\xed\xa0\x80.cfy",          // a lone surrogate
        "C:\\\xf4\x90\x80\x80.cfy",      // beyond U+10FFFF
        pathOfUnits(kMaxPathUnits + 1),
    };
    for (const std::string& path : bad) {
        EXPECT_EQ(decodeHandOver(kHandOverTag, path.data(), path.size()), std::nullopt)
            << path.substr(0, 60);
    }
    // The message itself: its tag, its buffer, its size.
    const std::string path = "C:\\a.cfy";
    EXPECT_EQ(decodeHandOver(kHandOverTag + 1, path.data(), path.size()), std::nullopt);
    EXPECT_EQ(decodeHandOver(kHandOverTag, nullptr, path.size()), std::nullopt);
    EXPECT_EQ(decodeHandOver(kHandOverTag, path.data(), 0), std::nullopt);
}

class Ports : public StartupPorts {
public:
    bool running = true;
    std::vector<std::string> calls;
    bool AnotherInstanceRunning() override { return running; }
    void ShowInformation(const std::string&, const std::string& text) override {
        calls.push_back("info:" + text);
    }
    std::string ReadWinIni(const std::string&, const std::string&, const std::string&) override {
        calls.push_back("read ini");
        return "x";
    }
    void WriteWinIni(const std::string&, const std::string&, const std::string&) override {
        calls.push_back("write ini");
    }
    std::string ProgramFolder() override { return "C:\\Tidewell"; }
    void ShowMainWindow() override { calls.push_back("show"); }
};

class RunningCopy : public InstanceHandOver {
public:
    bool takes = true;
    std::vector<std::string> given;
    bool HandOver(const std::string& path) override {
        given.push_back(path);
        return takes;
    }
};

TEST(SecondCopy, HandsAPathOverSilentlyAndOtherwiseSaysItIsRunning) {
    const ProductInfo product{"Tidewell", 1, 1, "", ""};
    const std::string message = "info:Tidewell v1.1 already running.";
    const CommandLine file{Kind::OpenFile, "C:\\a.cfy"};
    const struct {
        CommandLine command;
        bool taken;
        StartupResult result;
        std::vector<std::string> calls;
    } cases[] = {
        {file, true, StartupResult::HandedOver, {}},
        // The running copy did not answer: as a start without arguments.
        {file, false, StartupResult::AlreadyRunning, {message}},
        {{Kind::Tray, ""}, true, StartupResult::AlreadyRunning, {}},
        {{}, true, StartupResult::AlreadyRunning, {message}},
    };
    for (const auto& c : cases) {
        Ports ports;
        RunningCopy copy;
        copy.takes = c.taken;
        EXPECT_EQ(Main(ports, product, c.command, copy), c.result);
        EXPECT_EQ(ports.calls, c.calls);
        EXPECT_EQ(copy.given, c.command.kind == Kind::OpenFile
                                  ? std::vector<std::string>{c.command.path}
                                  : std::vector<std::string>{});
    }
    // The first copy keeps the path for its window and hands nothing over.
    Ports first;
    first.running = false;
    RunningCopy none;
    EXPECT_EQ(Main(first, product, file, none), StartupResult::Started);
    EXPECT_THAT(first.calls, ElementsAre("read ini", "show"));
    EXPECT_THAT(none.given, IsEmpty());
}

} // namespace

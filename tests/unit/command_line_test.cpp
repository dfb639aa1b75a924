// The command line, the hand-over of a path from a second copy to the
// running one, and what a second copy does with each kind of start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/startup.h"

using namespace tidewell;
using Kind = CommandLine::Kind;
using namespace std::string_literals;

namespace {

// A path of `units` UTF-16 units: "C:\" and letters.
std::string pathOfUnits(std::size_t units) {
    return "C:\\" + std::string(units - 3, 'a');
}

TEST(CommandLine, OnePathOrTrayAndEverythingElseIsAPlainStart) {
    const std::string longest = pathOfUnits(kMaxPathUnits);
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
        {"\"" + longest + "\"", Kind::OpenFile, longest},
    };
    for (const auto& c : cases) {
        const CommandLine got = parseCommandLine(c.tail);
        EXPECT_EQ(got.kind, c.kind) << c.tail.substr(0, 60);
        EXPECT_EQ(got.path, c.path) << c.tail.substr(0, 60);
    }
    for (std::string unknown :
         {"/tray /tray"s, "/tray C:\\a.cfy"s, "/unknown"s, "-s"s, "\"\""s,
          "\"C:\\a.cfy\" \"C:\\b.cfy\""s, "\"C:\\a.cfy\" /x"s,
          "\"" + pathOfUnits(kMaxPathUnits + 1) + "\"", pathOfUnits(kMaxPathUnits + 3)}) {
        EXPECT_EQ(parseCommandLine(unknown).kind, Kind::None) << unknown.substr(0, 60);
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

// What a start does: a message, the window, or a path given to the running copy.
struct Starts : StartupPorts, InstanceHandOver {
    bool running = true, taken = true;
    std::vector<std::string> calls;
    bool AnotherInstanceRunning() override { return running; }
    void ShowInformation(const std::string&, const std::string& t) override { calls.push_back(t); }
    std::string ReadWinIni(const std::string&, const std::string&, const std::string&) override {
        return "x";
    }
    void WriteWinIni(const std::string&, const std::string&, const std::string&) override {}
    std::string ProgramFolder() override { return "C:\\Tidewell"; }
    void ShowMainWindow() override { calls.push_back("show"); }
    bool HandOver(const std::string& path) override {
        calls.push_back("hand over " + path);
        return taken;
    }
};

TEST(SecondCopy, HandsAPathOverSilentlyAndOtherwiseSaysItIsRunning) {
    const ProductInfo product{"Tidewell", 1, 1, "", ""};
    const std::string message = "Tidewell v1.1 already running.", handOver = "hand over C:\\a.cfy";
    const CommandLine file{Kind::OpenFile, "C:\\a.cfy"};
    const struct {
        bool running, taken;
        CommandLine command;
        StartupResult result;
        std::vector<std::string> calls;
    } cases[] = {
        {true, true, file, StartupResult::HandedOver, {handOver}},
        // The running copy did not take it: as a start without arguments.
        {true, false, file, StartupResult::AlreadyRunning, {handOver, message}},
        {true, true, {Kind::Tray, ""}, StartupResult::AlreadyRunning, {}},
        {true, true, {}, StartupResult::AlreadyRunning, {message}},
        // The first copy keeps the path for its own window.
        {false, true, file, StartupResult::Started, {"show"}},
    };
    for (const auto& c : cases) {
        Starts starts;
        starts.running = c.running;
        starts.taken = c.taken;
        EXPECT_EQ(Main(starts, product, c.command, starts), c.result);
        EXPECT_EQ(starts.calls, c.calls);
    }
}

} // namespace

// Tray and hotkey rules, and the web-page opener's texts.
#include <gtest/gtest.h>

#include <cctype>

#include <string>

#include "info/web_page.h"
#include "tray/tray_rules.h"

using namespace tidewell;

namespace {

TEST(TrayTip, AlwaysFitsWithItsTerminator) {
    EXPECT_EQ(fitTip(u"Tidewell v1.0", 64), u"Tidewell v1.0");
    EXPECT_EQ(fitTip(std::u16string(63, u'y'), 64).size(), 63u);
    EXPECT_EQ(fitTip(std::u16string(64, u'y'), 64).size(), 63u);
    EXPECT_EQ(fitTip(u"x", 0), u"");
}

TEST(HideRule, TitledWindowsButTheDesktopAndAgents) {
    for (const char* title : {"Untitled - Notepad", " x ", "Program Managers", "Caf\xc3\xa9"}) {
        EXPECT_TRUE(qualifiesForHiding(title)) << title;
    }
    for (const char* title :
         {"", "    ", "Program Manager", "PROGRAM MANAGER", "System Agent COM Window"}) {
        EXPECT_FALSE(qualifiesForHiding(title)) << "'" << title << "'";
    }
}

// Key sequences (a = Alt, s = Shift, o = another key; upper case down,
// lower case up, r an auto-repeat of Shift) and where the detector fires.
TEST(AltShift, FiresOnceWhenTheBareCombinationIsReleased) {
    const struct Row {
        const char* keys;
        const char* fires; // '1' under the key that fires
    } rows[] = {
        {"ASrsa", "00010"}, {"SAas", "0010"},   {"ASOosa", "000000"},     {"AOSsa", "00000"},
        {"Aa", "00"},       {"AaSAa", "00001"}, {"ASsaASsa", "00100010"},
    };
    for (const Row& row : rows) {
        AltShiftDetector d{};
        std::string fired;
        for (const char* k = row.keys; *k != '\0'; ++k) {
            const char c = static_cast<char>(std::tolower(*k));
            const auto key = c == 'a'               ? AltShiftDetector::Alt
                             : c == 's' || c == 'r' ? AltShiftDetector::Shift
                                                    : AltShiftDetector::Other;
            fired += d.onKey(key, *k != c || c == 'r', c == 'r') ? '1' : '0';
        }
        EXPECT_EQ(fired, row.fires) << row.keys;
    }
}

// The address stays one argument of the browser's command line.
TEST(WebPage, TheAddressIsOneArgument) {
    EXPECT_EQ(quotedAddressArgument("https://a.example/my page"), "\"https://a.example/my page\"");
    EXPECT_EQ(quotedAddressArgument("https://a.example/\" --evil \""),
              "\"https://a.example/%22 --evil %22\"");
    EXPECT_EQ(quotedAddressArgument("file:///C:\\dir\\"), "\"file:///C:\\dir\\\\\"");
}

} // namespace

// Tray and hotkey rules, and the web-page opener's texts.
#include <gtest/gtest.h>

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

TEST(TrayCallback, DecodesTheIconsMouseMessagesOnly) {
    EXPECT_EQ(decodeTrayCallback(1, 0x203, false, false), TrayAction::ShowWindow);
    EXPECT_EQ(decodeTrayCallback(1, 0x205, true, false), TrayAction::ShowMenu);
    EXPECT_EQ(decodeTrayCallback(1, 0x00010205, false, false), TrayAction::ShowMenu); // low word
    for (unsigned msg : {0x200u, 0x201u, 0x202u, 0x204u, 0x206u, 0x207u}) {
        EXPECT_EQ(decodeTrayCallback(1, msg, false, false), TrayAction::None) << msg;
    }
    // A real right click in the window: key flags in wParam, or lParam is
    // the point where it happened (even one at x 517 with the left button held).
    EXPECT_EQ(decodeTrayCallback(0, 0x205, true, false), TrayAction::None);
    EXPECT_EQ(decodeTrayCallback(8, 0x00300205, true, true), TrayAction::None);
    EXPECT_EQ(decodeTrayCallback(1, 0x00000205, true, true), TrayAction::None);
    // Hidden, the window gets no real clicks: whatever the point, it is the icon.
    EXPECT_EQ(decodeTrayCallback(1, 0x00000205, false, true), TrayAction::ShowMenu);
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

using K = AltShiftDetector;

TEST(AltShift, FiresOnceWhenTheBareCombinationIsReleased) {
    AltShiftDetector d{};
    EXPECT_FALSE(d.onKey(K::Alt, true, false));
    EXPECT_FALSE(d.onKey(K::Shift, true, false));
    EXPECT_FALSE(d.onKey(K::Shift, true, true)); // auto-repeat
    EXPECT_TRUE(d.onKey(K::Shift, false, false));
    EXPECT_FALSE(d.onKey(K::Alt, false, false)); // only once

    // Shift first works the same.
    EXPECT_FALSE(d.onKey(K::Shift, true, false));
    EXPECT_FALSE(d.onKey(K::Alt, true, false));
    EXPECT_TRUE(d.onKey(K::Alt, false, false));
    EXPECT_FALSE(d.onKey(K::Shift, false, false));
}

TEST(AltShift, AnotherKeySpoilsItAndSingleModifiersNeverFire) {
    AltShiftDetector d{};
    d.onKey(K::Alt, true, false);
    d.onKey(K::Shift, true, false);
    d.onKey(K::Other, true, false); // Alt+Shift+Tab
    d.onKey(K::Other, false, false);
    EXPECT_FALSE(d.onKey(K::Shift, false, false));
    EXPECT_FALSE(d.onKey(K::Alt, false, false));

    // Alt+F, then Shift: the F spoiled this press of Alt.
    d.onKey(K::Alt, true, false);
    d.onKey(K::Other, true, false);
    d.onKey(K::Shift, true, false);
    EXPECT_FALSE(d.onKey(K::Shift, false, false));
    EXPECT_FALSE(d.onKey(K::Alt, false, false));

    // Alone, neither fires; a fresh press after release works again.
    EXPECT_FALSE(d.onKey(K::Alt, true, false));
    EXPECT_FALSE(d.onKey(K::Alt, false, false));
    d.onKey(K::Shift, true, false);
    d.onKey(K::Alt, true, false);
    EXPECT_TRUE(d.onKey(K::Alt, false, false));
}

TEST(WebPage, ProbeAndProgramPath) {
    EXPECT_EQ(probeFilePath("C:\\Temp\\", "htm"), "C:\\Temp\\temphtm.htm");
    EXPECT_EQ(programFromAssociation("  C:\\Program Files\\Browser\\browse.exe  "),
              "C:\\Program Files\\Browser\\browse.exe");
    EXPECT_EQ(programFromAssociation("C:\\B\\Run.Exe -nohome %1"), "C:\\B\\Run.Exe");
    EXPECT_EQ(programFromAssociation("C:\\B\\viewer.com"), "C:\\B\\viewer.com");
}

TEST(WebPage, TheAddressStaysOneArgument) {
    EXPECT_EQ(quotedAddressArgument("https://a.example/help.html"),
              "\"https://a.example/help.html\"");
    EXPECT_EQ(quotedAddressArgument("https://a.example/my page"), "\"https://a.example/my page\"");
    EXPECT_EQ(quotedAddressArgument("https://a.example/\" --evil \""),
              "\"https://a.example/%22 --evil %22\"");
    EXPECT_EQ(quotedAddressArgument("file:///C:\\dir\\"), "\"file:///C:\\dir\\\\\"");
    EXPECT_EQ(quotedAddressArgument("a\\b"), "\"a\\b\"");
}

TEST(About, CaptionAndNoticeFromTheVersionRecord) {
    EXPECT_EQ(aboutCaption("Tidewell", 10, 0), "About Tidewell v10.0");
    const std::string notice = aboutNotice("Copyright (C) 2026 us", "https://t.example");
    EXPECT_NE(notice.find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(notice.substr(notice.size() - 39), "Copyright (C) 2026 us https://t.example");
}

} // namespace

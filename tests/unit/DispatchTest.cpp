#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "catalogue/Dispatch.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        sys.InstallAll();
        sys.files.Remove("C:\\Program Files\\microsoft office\\office\\outlook.exe");
        sys.files.Put("C:\\Program Files\\microsoft office\\office11\\outlook.exe");
        form = sys.StartedForm();
    }
    // Clicks key on element index; returns the shell calls it made.
    std::vector<std::string> Click(std::int16_t index, const std::string& key) {
        sys.log.Clear();
        Button* button = form->cmdBar[0]->Buttons().Item(key);
        if (button == nullptr) {
            // Keys that the bar does not have reach the handler only from a foreign instance.
            button = form->cmdBar[0]->Buttons().Add(key, -1, "", 0, "", 0, 2);
        }
        form->cmdBar_ButtonClick(index, *button);
        return sys.log.Matching("shell.");
    }
    bool Parked() const { return !form->BarShown && sys.window.left == -1500 && sys.window.top == -1500; }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(DispatchTest, BarButtonsOfElementZero) {
    const std::pair<const char*, const char*> cases[] = {
        {"WINDOWS", "shell.ControlPanelItem(INETCPL.CPL)"},   {"CONNECTION", "shell.ControlPanelItem(ncpa.cpl)"},
        {"FIREWALL", "shell.ControlPanelItem(firewall.cpl)"}, {"SECURITY", "shell.ControlPanelItem(wscui.cpl)"},
        {"OSMIRADE", "shell.Open(http://www.nimbrel.org/)"},  {"HELP", "shell.Open(C:\\Apps\\Bar/nimbrel.pdf)"},
    };
    for (const auto& [key, call] : cases) {
        form->GO_BarOn();
        EXPECT_EQ(Click(0, key), (std::vector<std::string>{call})) << key;
        EXPECT_TRUE(Parked()) << key;
        EXPECT_EQ(form->Timer2->Interval(), 100U);
    }
}

TEST_F(DispatchTest, HelpUsesTheExecutablesFolderAsReported) {
    sys.process.executableFolder = "D:\\";
    EXPECT_EQ(Click(0, "HELP"), (std::vector<std::string>{"shell.Open(D:\\/nimbrel.pdf)"}));
    // An unknown folder opens nothing, and the bar parks as after any command.
    sys.process.executableFolder.clear();
    form->GO_BarOn();
    EXPECT_TRUE(Click(0, "HELP").empty());
    EXPECT_TRUE(Parked());
}

TEST_F(DispatchTest, MenuItemsOfElementOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"SEARCH:ALTAVISTA", "shell.Open(http://www.altavista.com/)"},
        {"SEARCH:YAHOO", "shell.Open(http://www.yahoo.com/)"},
        {"SEARCH:GOOGLE", "shell.Open(http://www.google.com/)"},
        {"BROWSER:IEXPLORE", "shell.Start(C:\\Program Files\\Internet Explorer\\iexplore.exe)"},
        {"BROWSER:NETSCAPE", "shell.Start(C:\\Program Files\\netscape\\netscape browser\\netscape.exe)"},
        {"BROWSER:FIREFOX", "shell.Start(C:\\Program Files\\Mozilla Firefox\\firefox.exe)"},
        {"BROWSER:OPERA", "shell.Start(C:\\Program Files\\opera\\opera.exe)"},
        {"MAIL:OUTLOOK", "shell.Start(C:\\Program Files\\microsoft office\\office11\\outlook.exe)"},
        {"MAIL:MSIMN", "shell.Start(C:\\Program Files\\outlook express\\msimn.exe)"},
        {"MAIL:EUDORA", "shell.Start(C:\\Program Files\\qualcomm\\eudora\\eudora.exe)"},
        {"MAIL:THUNDERBIRD", "shell.Start(C:\\Program Files\\mozilla thunderbird\\thunderbird.exe)"},
        {"FTP:FILEZILLA", "shell.Start(C:\\Program Files\\filezilla\\filezilla.exe)"},
        {"FTP:SMARTFTP", "shell.Start(C:\\Program Files\\smartftp\\smartftp.exe)"},
        {"FTP:FREEFTP", "shell.Start(C:\\Program Files\\coffeecup software\\coffeecup free ftp\\freeftp.exe)"},
        {"MESSAGING:SKYPE", "shell.Start(C:\\Program Files\\skype\\phone\\skype.exe)"},
        {"MESSAGING:MSMSGS", "shell.Start(C:\\Program Files\\messenger\\msmsgs.exe)"},
        {"MESSAGING:ICQLITE", "shell.Start(C:\\Program Files\\icqlite\\icqlite.exe)"},
        {"P2P:LIMEWIRE", "shell.Start(C:\\Program Files\\limewire\\limewire.exe)"},
        {"P2P:MORPHEUS", "shell.Start(C:\\Program Files\\morpheus\\morpheus.exe)"},
        {"PROGRAMS:GOOGLEEARTH", "shell.Start(C:\\Program Files\\google\\google earth\\googleearth.exe)"},
        {"PROGRAMS:ISPBOS", "shell.Start(C:\\Program Files\\OSS\\Internet Booster\\ispbos.exe)"},
        {"PROGRAMS:TELLME", "shell.Start(C:\\Program Files\\tellme\\tellme.exe)"},
    };
    for (const auto& [key, call] : cases) {
        form->GO_BarOn();
        EXPECT_EQ(Click(1, key), (std::vector<std::string>{call})) << key;
        EXPECT_TRUE(Parked()) << key;
    }
}

TEST_F(DispatchTest, KeysMeanNothingOnTheOtherElementAndAboveOne) {
    for (auto [index, key] : {std::pair<std::int16_t, const char*>{1, "EXIT"},
                              {1, "HELP"},
                              {1, "BROWSER"},
                              {0, "SEARCH:GOOGLE"},
                              {0, "BROWSER:FIREFOX"},
                              {0, "BROWSER"},
                              {0, "exit"},
                              {2, "EXIT"},
                              {2, "BROWSER:FIREFOX"},
                              {-1, "HELP"},
                              {32767, "SEARCH:YAHOO"}}) {
        form->GO_BarOn();
        EXPECT_TRUE(Click(index, key).empty()) << index << " " << key;
        EXPECT_TRUE(Parked()) << index << " " << key;
        EXPECT_FALSE(sys.process.ended);
    }
}

TEST_F(DispatchTest, ExitEndsTheProgramWithoutParking) {
    const int writesBefore = sys.files.writes;
    Click(0, "EXIT");
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"window.Hide", "process.End"}));
    EXPECT_TRUE(form->BarShown);
    EXPECT_TRUE(form->Ended());
    EXPECT_EQ(sys.files.writes, writesBefore);
    // Nothing of the program runs afterwards.
    sys.log.Clear();
    sys.pointer.y = 5000;
    sys.clock.Advance(10000);
    EXPECT_EQ(sys.log.Matching("window."), std::vector<std::string>{});
}

TEST_F(DispatchTest, FailingShellCallsStillParkTheBar) {
    sys.shell.failOpen = sys.shell.failApplet = sys.shell.failStart = true;
    for (auto [index, key] : {std::pair<std::int16_t, const char*>{0, "HELP"},
                              {0, "FIREWALL"},
                              {1, "SEARCH:GOOGLE"},
                              {1, "BROWSER:FIREFOX"}}) {
        form->GO_BarOn();
        EXPECT_EQ(Click(index, key).size(), 1U) << key;
        EXPECT_TRUE(Parked()) << key;
    }
}

TEST_F(DispatchTest, ProgramRemovedAfterStartUpIsStillAttemptedAndTheBarParks) {
    sys.files.Remove("C:\\Program Files\\opera\\opera.exe");
    sys.shell.failStart = true;
    EXPECT_EQ(Click(1, "BROWSER:OPERA"),
              (std::vector<std::string>{"shell.Start(C:\\Program Files\\opera\\opera.exe)"}));
    EXPECT_TRUE(Parked());
}

TEST_F(DispatchTest, ProgramsStartFromTheFolderWhereTheyWereFound) {
    const std::string pf = "C:\\Program Files", pf86 = "C:\\Program Files (x86)";
    sys.shell.programFilesX86 = test::FakeShell::Answer(0, pf86);
    sys.files.Remove(pf + "\\Mozilla Firefox\\firefox.exe");
    sys.files.Remove(pf + "\\microsoft office\\office11\\outlook.exe");
    for (const char* path :
         {"\\Mozilla Firefox\\firefox.exe", "\\opera\\opera.exe", "\\Microsoft Office\\root\\Office16\\outlook.exe"})
        sys.files.Put(pf86 + path);
    form = sys.StartedForm();
    const std::pair<const char*, std::string> cases[] = {
        {"BROWSER:FIREFOX", pf86 + "\\Mozilla Firefox\\firefox.exe"},
        {"BROWSER:OPERA", pf + "\\opera\\opera.exe"},
        {"MAIL:OUTLOOK", pf86 + "\\microsoft office\\root\\office16\\outlook.exe"},
    };
    for (const auto& [key, path] : cases) {
        EXPECT_TRUE(form->cmdBar[0]->Buttons().Item(key)->Visible()) << key;
        EXPECT_EQ(Click(1, key), (std::vector<std::string>{"shell.Start(" + path + ")"})) << key;
    }
}

TEST(DecideCommand, IsAPureTableLookup) {
    Catalogue c;
    EXPECT_EQ(DecideCommand(1, "BROWSER:FIREFOX", c, "C:\\PF", "C:\\X"), Command{}) << "empty catalogue";
    FakeSystem sys;
    FillCatalogue(c, sys.files, "C:\\PF");
    EXPECT_EQ(DecideCommand(1, "BROWSER:FIREFOX", c, "C:\\PF", "C:\\X"),
              (Command{Command::Kind::Launch, "C:\\PF\\Mozilla Firefox\\firefox.exe"}));
    EXPECT_EQ(DecideCommand(0, "EXIT", c, "C:\\PF", "C:\\X"), (Command{Command::Kind::Exit, ""}));
    EXPECT_EQ(DecideCommand(0, "HELP", c, "C:\\PF", "C:\\Apps\\Bar"),
              (Command{Command::Kind::Open, "C:\\Apps\\Bar/nimbrel.pdf"}));
    EXPECT_EQ(DecideCommand(0, "HELP", c, "C:\\PF", ""), Command{});
}

}  // namespace
}  // namespace nimbrel

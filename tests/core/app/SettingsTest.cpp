// Defaults of the settings catalogue and the profile table, fonts, password
// scrambling and the write-back rule.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "TestSupport.h"
#include "app/AccountProfile.h"
#include "app/PasswordScrambler.h"
#include "app/Settings.h"
#include "app/WriteIfChanged.h"
#include "platform/ConfigStore.h"

namespace corvina {
namespace {

int LoadedInt(const Settings& settings, std::string_view name) {
    const SettingEntry* entry = FindSetting(name);
    EXPECT_NE(entry, nullptr) << name;
    if (!entry || !entry->intRef)
        return -12345;
    Settings copy = settings;
    return entry->intRef(copy);
}

Settings LoadAllPhases(const ConfigStore& store, const SettingDefaults& defaults) {
    Settings settings;
    for (SettingPhase phase :
         {SettingPhase::kCodePage, SettingPhase::kPassword, SettingPhase::kEarly,
          SettingPhase::kHome, SettingPhase::kDirectories, SettingPhase::kCatalogue,
          SettingPhase::kColumns, SettingPhase::kEncoding, SettingPhase::kAfterLoad,
          SettingPhase::kWindow}) {
        LoadSettingPhase(store, phase, defaults, settings);
    }
    settings.fonts = LoadFonts(store);
    return settings;
}

TEST(SettingsCatalogue, EmptyStoreGivesEveryDocumentedDefault) {
    ConfigStore store;
    store.LoadFromText("");
    SettingDefaults defaults;
    defaults.systemCodePage = 932;
    defaults.editorWrap = 1;
    defaults.showCommand = 1;
    defaults.homeDirectory = "/home/u/mail/";
    Settings s = LoadAllPhases(store, defaults);

    // Fixed integer defaults as the catalogue documents them.
    const std::pair<const char*, int> kExpected[] = {
        {"TurnOffCtrl", 0},      {"MaximizeVert", 0}, {"LeaveLog", 0},      {"PassIcon", 0},
        {"AlwaysRead", 0},       {"DefUser", 0},      {"SiteOnReply", 0},   {"AutoFilter", 1},
        {"ExitFilter", 0},       {"WithName", 0},     {"RealName", 0},      {"SelFirst", 1},
        {"SendMode", 0},         {"SendDate", 1},     {"CheckRcpt", 0},     {"CheckAfterSend", 0},
        {"NoMailNotify", 0},     {"SkipError", 0},    {"DelTrash", 0},      {"PopUp", 0},
        {"AskPopUp", 0},         {"NoOfflnChk", 0},   {"StartupCheck", 0},  {"WarnOutBox", 1},
        {"AutoWrap", 0},         {"EUCReceive", 0},   {"HideReference", 0}, {"ReplyNumber", 1},
        {"DeliverOnReceive", 0}, {"CheckMail", 1},    {"Minutes", 15},      {"DefMail", 0},
        {"DefURL", 0},           {"ToolTips", 1},     {"LongTreeView", 1},  {"MsgThread", 0},
        {"HideIcon", 0},         {"HalfPage", 0},     {"ScrollType", 0},    {"Col0Width", 0},
        {"Col1Width", 0},        {"Col2Width", 0},    {"Col3Width", 0},     {"DefEncode", 0},
        {"CompactBack", 1},      {"Timeout", 120},    {"American", 1},      {"British", 0},
    };
    for (const auto& [name, value] : kExpected)
        EXPECT_EQ(LoadedInt(s, name), value) << name;

    // Defaults that come from the running system.
    EXPECT_EQ(s.codePage, 932);
    EXPECT_EQ(s.wordWrap, 1);
    EXPECT_EQ(s.mainShowCmd, 1);
    EXPECT_EQ(s.initialOpenDir, "/home/u/mail/");
    EXPECT_EQ(s.attachOpenDir, "/home/u/mail/");
    EXPECT_EQ(s.attachSaveDir, "/home/u/mail/");
    EXPECT_EQ(s.sitation, "> ");
    EXPECT_EQ(s.homeDir, "");
    EXPECT_EQ(s.localPass, "");
    EXPECT_EQ(s.soundFile, "");
    EXPECT_FALSE(s.fonts.text.IsConfigured());
    EXPECT_FALSE(s.fonts.print.IsConfigured());
    EXPECT_FALSE(s.fonts.stat.IsConfigured());
}

TEST(SettingsCatalogue, NamesAreUniqueAndEachEntryHasItsAccessor) {
    std::set<std::string> names;
    for (const SettingEntry& entry : SettingsCatalogue()) {
        EXPECT_TRUE(names.insert(std::string(entry.section) + "/" + entry.name).second)
            << entry.name;
        if (entry.type == SettingType::kInt) {
            EXPECT_NE(entry.intRef, nullptr) << entry.name;
        } else {
            EXPECT_NE(entry.stringRef, nullptr) << entry.name;
        }
    }
    EXPECT_NE(FindSetting("sitation"), nullptr);  // names compare without case
    EXPECT_EQ(FindSetting("NoSuchValue"), nullptr);
}

TEST(AccountProfileTable, ClassicSlotsInOrderWithDefaults) {
    const char* kOrder[] = {"Account",        "User",           "Pass",        "POP",
                            "SMTP",           "Address",        "Name",        "SMTPPort",
                            "POP3Port",       "MailDirNo",      "Signature",   "HasUnread",
                            "DeleteOnServer", "AutoDisconnect", "Dialup",      "DialupEntry",
                            "DialupMode",     "DialupUser",     "DialupPass",  "PermanentCc",
                            "PermanentBcc",   "NewTemplate",    "RepTemplate", "FwdTemplate",
                            "AddrGroup",      "NoCheckAll"};
    auto slots = ProfileSlots();
    ASSERT_GE(slots.size(), kClassicSlotCount);
    for (std::size_t i = 0; i < kClassicSlotCount; ++i)
        EXPECT_STREQ(slots[i].name, kOrder[i]);

    ConfigStore store;
    store.LoadFromText("");
    ProfileTable table = LoadProfiles(store);
    for (int i = 0; i < kProfileCount; ++i) {
        const AccountProfile& p = table[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.mailDirNo, i);
        EXPECT_EQ(p.smtpPort, 25);
        EXPECT_EQ(p.pop3Port, 110);
        EXPECT_EQ(p.deleteOnServer, 1);
        EXPECT_EQ(p.autoDisconnect, 1);
        EXPECT_EQ(p.dialup, 0);
        EXPECT_EQ(p.noCheckAll, 0);
        EXPECT_FALSE(p.IsConfigured());
        // The secure-transport values default to the plain behaviour.
        EXPECT_EQ(p.pop3Security, kPop3SecurityNone);
        EXPECT_EQ(p.smtpSecurity, kSmtpSecurityNone);
        EXPECT_EQ(p.smtpAuth, kSmtpAuthNone);
        EXPECT_EQ(p.certFingerprint, "");
    }
    EXPECT_EQ(ProfileSection(7), "Users\\7");
}

TEST(AccountProfileTable, ReadsHandWrittenSectionWithPlainAndScrambledPasswords) {
    ConfigStore store;
    store.LoadFromText(
        "[Users\\2]\r\nAccount = Work\r\nPOP = pop.example\r\nPOP3Port = 995\r\n"
        "Pass = " +
        ScramblePassword("s3cret") +
        "\r\nDialupPass = typed-by-hand\r\nSMTPSecurity = 1\r\n"
        "SMTPPass = " +
        ScramblePassword("relay") + "\r\n");
    AccountProfile p = LoadProfile(store, 2);
    EXPECT_EQ(p.account, "Work");
    EXPECT_EQ(p.pop3Port, 995);
    EXPECT_EQ(p.pass, "s3cret");
    EXPECT_EQ(p.dialupPass, "typed-by-hand");
    EXPECT_EQ(p.smtpSecurity, kSmtpSecurityStartTls);
    EXPECT_EQ(p.smtpPass, "relay");
    EXPECT_EQ(p.mailDirNo, 2);
}

TEST(PasswordScrambler, RoundTripsAnyBytesAndHidesThePlainText) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    for (std::string plain : {std::string("a"), std::string("password"), all, std::string(300, 'x'),
                              std::string("~41")}) {
        std::string stored = ScramblePassword(plain);
        EXPECT_EQ(UnscramblePassword(stored), plain);
        EXPECT_EQ(stored.find(plain), std::string::npos);
        // Storable as a plain config value: printable ASCII only.
        for (char c : stored)
            EXPECT_TRUE(c > ' ' && c < 0x7F);
    }
    EXPECT_EQ(ScramblePassword(""), "");
    EXPECT_EQ(UnscramblePassword(""), "");
    // Values not written by the scrambler are taken as typed.
    EXPECT_EQ(UnscramblePassword("~4"), "~4");
    EXPECT_EQ(UnscramblePassword("~ZZ"), "~ZZ");
    EXPECT_EQ(UnscramblePassword("plain"), "plain");
}

TEST(Fonts, FaceIsReadOnlyForAConfiguredSize) {
    ConfigStore store;
    store.LoadFromText(
        "[Fonts]\nText=Arial\nTextBold=700\nPrintSize=100\nPrintItalic=1\n"
        "StatSize=90\nStat=Courier\n");
    Fonts fonts = LoadFonts(store);
    EXPECT_EQ(fonts.text, FontDescription{});  // size 0: nothing else read
    EXPECT_EQ(fonts.print.size, 100);
    EXPECT_EQ(fonts.print.italic, 1);
    EXPECT_EQ(fonts.print.weight, 0);
    EXPECT_EQ(fonts.print.face, "FixedSys");
    EXPECT_EQ(fonts.stat.face, "Courier");
}

class WriteBackTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir / "Corvina.ini";
        test::WriteFileBytes(
            path,
            "; kept by hand\r\n[Settings]\r\nHomeDir=/srv/mail\r\nMinutes = 5\r\n"
            "LocalPass=" +
                ScramblePassword("local") +
                "\r\nSitation=\"| \"\r\n\r\n[Users\\0]\r\nAccount=Home\r\nPOP=pop\r\n"
                "Pass=" +
                ScramblePassword("pw") +
                "\r\nHasUnread=1\r\n"
                "[Fonts]\r\nTextSize=120\r\nText=Mono\r\n");
        original = test::ReadFileBytes(path);
        store.SetPath(path);
        ASSERT_TRUE(store.Load());
        SettingDefaults defaults;
        defaults.homeDirectory = "/srv/mail/";
        settings = LoadAllPhases(store, defaults);
        profiles = LoadProfiles(store);
    }

    test::ScratchDir dir;
    std::filesystem::path path;
    std::string original;
    ConfigStore store;
    Settings settings;
    ProfileTable profiles;
};

TEST_F(WriteBackTest, UnchangedValuesWriteNothing) {
    Settings edited = settings;
    ProfileTable editedProfiles = profiles;
    EXPECT_EQ(WriteSettingsIfChanged(store, settings, edited), 0);
    for (int i = 0; i < kProfileCount; ++i) {
        EXPECT_EQ(WriteProfileIfChanged(store, i, profiles[i], editedProfiles[i]), 0);
    }
    EXPECT_TRUE(store.Save());
    EXPECT_EQ(test::ReadFileBytes(path), original);
}

TEST_F(WriteBackTest, OnlyChangedValuesAreWrittenAndPasswordsStayScrambled) {
    Settings edited = settings;
    edited.minutes = 30;
    edited.localPass = "new-local";
    edited.fonts.text.weight = 700;
    AccountProfile editedProfile = profiles[0];
    editedProfile.pass = "new-pw";
    editedProfile.hasUnread = 0;  // never written by the client

    EXPECT_EQ(WriteSettingsIfChanged(store, settings, edited), 3);
    EXPECT_EQ(WriteProfileIfChanged(store, 0, profiles[0], editedProfile), 1);
    EXPECT_EQ(settings.minutes, 30);
    EXPECT_EQ(profiles[0].pass, "new-pw");
    ASSERT_TRUE(store.Save());

    std::string text = test::ReadFileBytes(path);
    EXPECT_EQ(text.find("new-local"), std::string::npos);
    EXPECT_EQ(text.find("new-pw"), std::string::npos);
    ConfigStore reread(path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(UnscramblePassword(reread.GetString("Settings", "LocalPass")), "new-local");
    EXPECT_EQ(LoadProfile(reread, 0).pass, "new-pw");
    EXPECT_EQ(reread.GetInt("Users\\0", "HasUnread", 0), 1);
    EXPECT_EQ(reread.GetInt("Settings", "Minutes", 0), 30);
    EXPECT_EQ(reread.GetInt("Fonts", "TextBold", 0), 700);
    EXPECT_EQ(reread.GetString("Settings", "Sitation"), "| ");
}

TEST(WriteIfChanged, ComparesWithTheValueInMemoryNotTheStore) {
    ConfigStore store;
    store.LoadFromText("[S]\nN=7\nT=x\n");
    int number = 3;  // memory differs from the store, but not from the new value
    EXPECT_FALSE(WriteIfChanged(store, "S", "N", number, 3));
    EXPECT_EQ(store.GetInt("S", "N", 0), 7);
    EXPECT_TRUE(WriteIfChanged(store, "S", "N", number, 4));
    EXPECT_EQ(store.GetInt("S", "N", 0), 4);
    EXPECT_EQ(number, 4);

    std::string text = "x";
    EXPECT_TRUE(WriteIfChanged(store, "S", "T", text, "X"));  // exact comparison
    EXPECT_EQ(store.GetString("S", "T"), "X");

    std::string pass = "pw";
    EXPECT_FALSE(WritePasswordIfChanged(store, "S", "P", pass, "pw"));
    EXPECT_FALSE(store.HasValue("S", "P"));
    EXPECT_TRUE(WritePasswordIfChanged(store, "S", "P", pass, "pw2"));
    EXPECT_EQ(UnscramblePassword(store.GetString("S", "P")), "pw2");
}

}  // namespace
}  // namespace corvina

#include "platform/ConfigStore.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

ConfigStore LoadText(std::string_view text) {
    ConfigStore store;
    store.LoadFromText(text);
    return store;
}

TEST(ConfigStore, MissingOrEmptyFileGivesDefaultsAndWritesNothing) {
    ScratchDir dir;
    for (const char* content :
         {static_cast<const char*>(nullptr), "", "\r\n\n; only a comment\n"}) {
        const auto path = dir / "Talvern" / "Corvina.ini";
        std::filesystem::remove(path);
        if (content != nullptr) {
            WriteFileBytes(path, content);
        }
        ConfigStore store(path);
        ASSERT_TRUE(store.Load());
        EXPECT_EQ(store.GetInt("Settings", "Minutes", 15), 15);
        EXPECT_EQ(store.GetString("Settings", "Sitation", "> "), "> ");
        EXPECT_FALSE(store.HasValue("Settings", "Minutes"));
        EXPECT_FALSE(store.HasKey("Settings"));
        EXPECT_TRUE(store.SubKeys("MimeType").empty());
        EXPECT_TRUE(store.Save());
        EXPECT_EQ(std::filesystem::exists(path), content != nullptr);
        if (content != nullptr) {
            EXPECT_EQ(ReadFileBytes(path), content);
        }
    }
}

TEST(ConfigStore, HandWrittenFileIsReadAsPeopleWriteIt) {
    const ConfigStore store = LoadText(
        "\xEF\xBB\xBF; written by hand\r\n"
        "orphan=ignored before any section\r\n"
        "[Settings]\r\n"
        "  Minutes   =  30  \r\n"
        "# another comment\r\n"
        "sitation=>> \r\n"
        "HomeDir=/home/me/Mail/\r\n"
        "Query = a=b=c\r\n"
        "not an entry line\r\n"
        "CodePage=932\r\n"
        "codepage=65001\r\n"
        "Empty=\r\n"
        "[ users\\3 ]\r\n"
        "Account=Work\n"  // mixed line ends
        "SMTPPort=0x24B\n"
        "Neg=-5\n"
        "Dword=4294967295\n"
        "TooBig=4294967296\n"
        "Junk=12abc\n"
        "[SETTINGS]\n"
        "LeaveLog=1");  // last line without a line end
    EXPECT_EQ(store.GetInt("settings", "MINUTES", 15), 30);
    EXPECT_EQ(store.GetString("Settings", "Sitation"), ">>");
    EXPECT_EQ(store.GetString("Settings", "HomeDir"), "/home/me/Mail/");
    EXPECT_EQ(store.GetString("Settings", "Query"), "a=b=c");
    EXPECT_EQ(store.GetInt("Settings", "CodePage", 0), 65001);  // last one wins
    EXPECT_TRUE(store.HasValue("Settings", "Empty"));
    EXPECT_EQ(store.GetString("Settings", "Empty", "x"), "");
    EXPECT_EQ(store.GetInt("Settings", "LeaveLog", 0), 1);  // repeated section continues
    EXPECT_FALSE(store.HasValue("Settings", "not an entry line"));
    EXPECT_FALSE(store.HasValue("Settings", "orphan"));
    EXPECT_EQ(store.GetString("Users\\3", "Account"), "Work");
    EXPECT_EQ(store.GetInt("Users\\3", "SMTPPort", 25), 587);
    EXPECT_EQ(store.GetInt("Users\\3", "Neg", 0), -5);
    EXPECT_EQ(store.GetInt("Users\\3", "Dword", 0), -1);
    EXPECT_EQ(store.GetInt("Users\\3", "TooBig", 7), 7);
    EXPECT_EQ(store.GetInt("Users\\3", "Junk", 7), 7);
    EXPECT_EQ(store.GetInt("Users\\3", "Account", 7), 7);
    EXPECT_EQ(store.ValueNames("Settings"),
              (std::vector<std::string>{"Minutes", "sitation", "HomeDir", "Query", "CodePage",
                                        "Empty", "LeaveLog"}));
}

TEST(ConfigStore, OddStringsSurviveARoundTripAndPlainOnesStayPlain) {
    ScratchDir dir;
    const std::vector<std::string> odd = {
        "",
        " leading and trailing ",
        "\ttab",
        "line1\r\nline2\nline3\r",
        std::string("nul\0inside", 10),
        "\"quoted\"",
        "\"",
        "back\\slash \\x41 \\n",
        "\x01\x1F\x7F\x80\xFF",
        "\x82\xA0\x93\xFA\x96\x7B",  // Shift_JIS
        "semi;colon #hash [brackets] = equals",
    };
    const auto path = dir / "c.ini";
    {
        ConfigStore store(path);
        for (std::size_t i = 0; i < odd.size(); ++i) {
            ASSERT_TRUE(store.SetString("Odd", "V" + std::to_string(i), odd[i]));
        }
        ASSERT_TRUE(store.SetString("Settings", "Folder", "InBox\\Lists\\C++"));
        ASSERT_TRUE(store.SetString("Settings", "HomeDir", "/home/me/Corvina Mail/"));
        ASSERT_TRUE(store.SetInt("Settings", "Minutes", -12));
        ASSERT_TRUE(store.Save());
    }
    ConfigStore again(path);
    ASSERT_TRUE(again.Load());
    for (std::size_t i = 0; i < odd.size(); ++i) {
        EXPECT_EQ(again.GetString("Odd", "V" + std::to_string(i), "missing"), odd[i]) << i;
    }
    EXPECT_EQ(again.GetInt("Settings", "Minutes", 0), -12);
    const std::string text = ReadFileBytes(path);
    EXPECT_NE(text.find("Folder=InBox\\Lists\\C++\n"), std::string::npos);
    EXPECT_NE(text.find("HomeDir=/home/me/Corvina Mail/\n"), std::string::npos);
    EXPECT_NE(text.find("V10=semi;colon #hash [brackets] = equals\n"), std::string::npos);
    // Every stored line is one line: no raw CR, LF or NUL from a value.
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

TEST(ConfigStore, NamesThatCannotBeStoredAreRefused) {
    ConfigStore store;
    EXPECT_FALSE(store.SetString("", "Key", "v"));
    EXPECT_FALSE(store.SetString("Bad]Section", "Key", "v"));
    EXPECT_FALSE(store.SetString("Line\nBreak", "Key", "v"));
    EXPECT_FALSE(store.SetString(" Settings", "Key", "v"));
    EXPECT_FALSE(store.SetString("Settings", "", "v"));
    EXPECT_FALSE(store.SetString("Settings", "a=b", "v"));
    EXPECT_FALSE(store.SetString("Settings", ";Key", "v"));
    EXPECT_FALSE(store.SetString("Settings", "[Key", "v"));
    EXPECT_FALSE(store.SetInt("Settings", "Key\r", 1));
    EXPECT_FALSE(store.IsModified());
    EXPECT_TRUE(store.ToText().empty());
}

TEST(ConfigStore, SubKeysAreEnumeratedAndDeletedWithTheirValues) {
    ConfigStore store = LoadText(
        "[MimeType\\image/jpeg]\nExt=.jpg.jpeg.jpe\nAct=0\n"
        "[Settings]\nMinutes=5\n"
        "[mimetype\\text/x-diff]\nApp=/usr/bin/meld\n"
        "[MimeTypeX]\nKeep=1\n"
        "[MIMETYPE\\IMAGE/JPEG]\nApp=viewer\n"
        "[MimeType\\application/pdf\\deeper]\nAct=2\n");
    EXPECT_EQ(store.SubKeys("MimeType"),
              (std::vector<std::string>{"image/jpeg", "text/x-diff", "application/pdf"}));
    EXPECT_EQ(store.SubKeys(""), (std::vector<std::string>{"MimeType", "Settings", "MimeTypeX"}));
    EXPECT_EQ(store.GetString("MimeType\\Image/JPEG", "App"), "viewer");
    EXPECT_TRUE(store.HasKey("MimeType\\application/pdf"));

    EXPECT_TRUE(store.DeleteKey("mimetype"));
    EXPECT_TRUE(store.IsModified());
    EXPECT_TRUE(store.SubKeys("MimeType").empty());
    EXPECT_FALSE(store.HasValue("MimeType\\image/jpeg", "Ext"));
    EXPECT_EQ(store.GetInt("MimeTypeX", "Keep", 0), 1);
    EXPECT_EQ(store.GetInt("Settings", "Minutes", 0), 5);
    EXPECT_FALSE(store.DeleteKey("MimeType"));

    // The preferences write the whole table anew after deleting it.
    ASSERT_TRUE(store.SetString("MimeType\\video/mp4", "Ext", ".mp4"));
    ASSERT_TRUE(store.SetInt("MimeType\\video/mp4", "Act", 1));
    EXPECT_EQ(store.SubKeys("MimeType"), (std::vector<std::string>{"video/mp4"}));
    const ConfigStore reread = LoadText(store.ToText());
    EXPECT_EQ(reread.GetInt("MimeType\\video/mp4", "Act", 0), 1);
    EXPECT_EQ(reread.SubKeys("MimeType"), (std::vector<std::string>{"video/mp4"}));

    EXPECT_TRUE(store.DeleteValue("Settings", "MINUTES"));
    EXPECT_FALSE(store.HasValue("Settings", "Minutes"));
    EXPECT_FALSE(store.DeleteValue("Settings", "Minutes"));
}

TEST(ConfigStore, RepeatedDeleteAndRewriteDoesNotGrowTheFile) {
    ConfigStore store = LoadText("[Settings]\nMinutes=5\n");
    std::string first;
    for (int round = 0; round < 3; ++round) {
        store.DeleteKey("MimeType");
        store.SetString("MimeType\\image/png", "Ext", ".png");
        store.SetString("MimeType\\text/html", "Ext", ".html.htm");
        if (round == 0) {
            first = store.ToText();
        }
    }
    EXPECT_EQ(store.ToText(), first);
    EXPECT_EQ(first,
              "[Settings]\nMinutes=5\n\n[MimeType\\image/png]\nExt=.png\n\n"
              "[MimeType\\text/html]\nExt=.html.htm\n");
}

TEST(ConfigStore, UnchangedValuesNeverRewriteTheFile) {
    ScratchDir dir;
    const auto path = dir / "Corvina.ini";
    const std::string original =
        "; my settings\r\n[Settings]\r\nMinutes = 0x0F \r\nSitation=> \r\n\r\n"
        "# profiles\r\n[Users\\0]\r\nAccount=Home\r\n";
    WriteFileBytes(path, original);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    ConfigStore store(path);
    ASSERT_TRUE(store.Load());
    EXPECT_TRUE(store.SetInt("Settings", "Minutes", 15));       // "0x0F" already reads 15
    EXPECT_TRUE(store.SetString("settings", "SITATION", ">"));  // trimmed on read
    EXPECT_TRUE(store.SetString("Users\\0", "Account", "Home"));
    EXPECT_FALSE(store.IsModified());
    EXPECT_TRUE(store.Save());
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // not even replaced by an equal copy
    EXPECT_EQ(ReadFileBytes(path), original);

    // A real change rewrites only its own line; comments and CR LF stay.
    EXPECT_TRUE(store.SetInt("Settings", "Minutes", 20));
    EXPECT_TRUE(store.SetInt("Users\\0", "POP3Port", 995));
    EXPECT_TRUE(store.IsModified());
    ASSERT_TRUE(store.Save());
    EXPECT_FALSE(store.IsModified());
    EXPECT_EQ(ReadFileBytes(path),
              "; my settings\r\n[Settings]\r\nMinutes=20\r\nSitation=> \r\n\r\n"
              "# profiles\r\n[Users\\0]\r\nAccount=Home\r\nPOP3Port=995\r\n");
}

TEST(ConfigStore, SaveIsPrivateAtomicAndCreatesTheDirectory) {
    ScratchDir dir;
    const auto path = dir / "config" / "Talvern" / "Corvina.ini";
    ConfigStore store(path);
    ASSERT_TRUE(store.Load());
    ASSERT_TRUE(store.SetString("Users\\0", "Pass", "scrambled"));
    const mode_t oldMask = umask(0);  // the file mode must not depend on the umask
    const bool saved = store.Save();
    umask(oldMask);
    ASSERT_TRUE(saved);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(path.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Nothing but the file itself is left in the directory.
    store.SetString("Users\\0", "Pass", "other");
    ASSERT_TRUE(store.Save());
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);

    // A link to the file stays a link; the file it names gets the content.
    const auto link = dir / "link.ini";
    std::filesystem::create_symlink(path, link);
    ConfigStore viaLink(link);
    ASSERT_TRUE(viaLink.Load());
    ASSERT_TRUE(viaLink.SetInt("Settings", "Minutes", 9));
    ASSERT_TRUE(viaLink.Save());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadFileBytes(path).find("Minutes=9"), std::string::npos);
}

TEST(ConfigStore, FailedSaveOrLoadLeavesTheOldFileAlone) {
    ScratchDir dir;
    // The directory cannot be created: a file stands in its way.
    WriteFileBytes(dir / "blocker", "x");
    ConfigStore blocked(dir / "blocker" / "Corvina.ini");
    ASSERT_TRUE(blocked.SetInt("Settings", "Minutes", 1));
    EXPECT_FALSE(blocked.Save());
    EXPECT_TRUE(blocked.IsModified());  // still to be saved
    EXPECT_EQ(ReadFileBytes(dir / "blocker"), "x");

    // A file that cannot be read is never replaced by an empty store.
    std::filesystem::create_directory(dir / "adir.ini");
    ConfigStore unreadable(dir / "adir.ini");
    EXPECT_FALSE(unreadable.Load());
    unreadable.SetInt("Settings", "Minutes", 1);
    EXPECT_FALSE(unreadable.Save());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "adir.ini"));

    EXPECT_FALSE(ConfigStore().Save());  // no path
}

TEST(ConfigStore, DefaultPathFollowsTheEnvironment) {
    const char* names[] = {"CORVINA_CONFIG", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* n : names) {
        const char* v = std::getenv(n);
        saved.push_back(v ? std::optional<std::string>(v) : std::nullopt);
    }
    setenv("HOME", "/home/someone", 1);
    unsetenv("CORVINA_CONFIG");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ConfigStore::DefaultPath(), "/home/someone/.config/Talvern/Corvina.ini");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(ConfigStore::DefaultPath(), "/home/someone/.config/Talvern/Corvina.ini");
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(ConfigStore::DefaultPath(), "/xdg/Talvern/Corvina.ini");
    setenv("CORVINA_CONFIG", "/elsewhere/test.ini", 1);
    EXPECT_EQ(ConfigStore::DefaultPath(), "/elsewhere/test.ini");
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i]) {
            setenv(names[i], saved[i]->c_str(), 1);
        } else {
            unsetenv(names[i]);
        }
    }
}

}  // namespace
}  // namespace corvina

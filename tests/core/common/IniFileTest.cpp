#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestSupport.h"
#include "common/IniFile.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

TEST(IniFileRead, WindowsLookupRules) {
    ScratchDir dir;
    const auto ctl = dir / "InBox.ctl";
    WriteFileBytes(ctl,
                   "; folder control\n"
                   "[Mail]\n"
                   "Total=12\n"
                   "  UnRead = 3  \n"
                   "Name=\"  quoted  \"\n"
                   "Single='x'\n"
                   "Half=\"open\n"
                   "Empty=\n"
                   "Total=99\n"
                   "[Other]\n"
                   "Total=7\n");
    EXPECT_EQ(GetPrivateProfileInt("mail", "TOTAL", -1, ctl), 12) << "first match, any case";
    EXPECT_EQ(GetPrivateProfileInt("Mail", "unread", -1, ctl), 3);
    EXPECT_EQ(GetPrivateProfileInt("Other", "Total", -1, ctl), 7);
    EXPECT_EQ(GetPrivateProfileInt("Mail", "Missing", 42, ctl), 42);
    EXPECT_EQ(GetPrivateProfileInt("Nope", "Total", 5, ctl), 5);
    EXPECT_EQ(GetPrivateProfileInt("Mail", "Empty", 8, ctl), 8);
    EXPECT_EQ(GetPrivateProfileInt("Mail", "Name", 8, ctl), 0) << "no digits";
    EXPECT_EQ(GetPrivateProfileString("Mail", "Name", "d", ctl), "  quoted  ");
    EXPECT_EQ(GetPrivateProfileString("Mail", "Single", "d", ctl), "x");
    EXPECT_EQ(GetPrivateProfileString("Mail", "Half", "d", ctl), "\"open");
    EXPECT_EQ(GetPrivateProfileString("Mail", "Empty", "d", ctl), "") << "present but empty";
    EXPECT_EQ(GetPrivateProfileString("Mail", "; folder control", "d", ctl), "d");
    EXPECT_EQ(GetPrivateProfileInt("Mail", "Total", 1, dir / "missing.ctl"), 1);
    EXPECT_EQ(GetPrivateProfileString("Mail", "Total", "def", dir / "missing.ctl"), "def");
}

TEST(IniFileRead, IntegersLikeWindows) {
    const IniFile ini = IniFile::FromText(
        "[S]\r\na=-17\r\nb=+5x\r\nc=  12 34\r\nd=99999999999\r\ne=0x10\r\nf=-\r\n");
    EXPECT_EQ(ini.GetInt("S", "a", 0), -17);
    EXPECT_EQ(ini.GetInt("S", "b", 0), 5);
    EXPECT_EQ(ini.GetInt("S", "c", 0), 12);
    EXPECT_EQ(ini.GetInt("S", "d", 0), 2147483647);
    EXPECT_EQ(ini.GetInt("S", "e", 3), 0);
    EXPECT_EQ(ini.GetInt("S", "f", 3), 0);
}

TEST(IniFileRead, StringsCutAtTheCallersSize) {
    ScratchDir dir;
    const auto file = dir / "a.ini";
    WriteFileBytes(file, "[S]\r\nK=abcdefgh\r\n");
    char buf[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 5, file), 4);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 1, file), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 0, file), 0);
    EXPECT_EQ(GetPrivateProfileString("S", "none", "defaultvalue", buf, 5, file), 4);
    EXPECT_STREQ(buf, "defa");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", file, 3), "ab");
}

TEST(IniFileWrite, CreatesUpdatesAndKeepsOtherLines) {
    ScratchDir dir;
    const auto file = dir / "Work.ctl";
    ASSERT_TRUE(WritePrivateProfileString("Mail", "Total", "1", file));
    EXPECT_EQ(ReadFileBytes(file), "[Mail]\r\nTotal=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("mail", "TOTAL", "2", file));
    ASSERT_TRUE(WritePrivateProfileString("Mail", "UnRead", "0", file));
    EXPECT_EQ(ReadFileBytes(file), "[Mail]\r\nTotal=2\r\nUnRead=0\r\n")
        << "a key written twice keeps one line, with its first spelling";

    // A hand-written LF file: comments, blank lines and other sections
    // stay; the new key goes at the end of its section.
    WriteFileBytes(file, "; note\n[Mail]\nTotal=5\n\n[View]\nExpanded=1\n");
    ASSERT_TRUE(WritePrivateProfileString("Mail", "UnRead", "4", file));
    ASSERT_TRUE(WritePrivateProfileString("New", "Key", "v", file));
    EXPECT_EQ(ReadFileBytes(file),
              "; note\r\n[Mail]\r\nTotal=5\r\nUnRead=4\r\n\r\n[View]\r\nExpanded=1\r\n"
              "\r\n[New]\r\nKey=v\r\n");
    ASSERT_TRUE(WritePrivateProfileString("View", "Expanded", std::nullopt, file));
    EXPECT_EQ(GetPrivateProfileInt("View", "Expanded", -1, file), -1);
    ASSERT_TRUE(DeletePrivateProfileSection("mail", file));
    EXPECT_EQ(ReadFileBytes(file), "; note\r\n[View]\r\n\r\n[New]\r\nKey=v\r\n");

    // A value can never add a line of its own.
    ASSERT_TRUE(WritePrivateProfileString("New", "Key", "a\r\n[Evil]\nX=1", file));
    EXPECT_EQ(GetPrivateProfileString("New", "Key", "", file), "a  [Evil] X=1");
    EXPECT_EQ(GetPrivateProfileString("Evil", "X", "none", file), "none");
}

TEST(IniFileWrite, UnchangedValueLeavesTheFileAndKeepsItsMode) {
    ScratchDir dir;
    const auto file = dir / "x.ini";
    WriteFileBytes(file, "[S]\r\nK=1\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "1", file));
    struct stat same {};
    ASSERT_EQ(::stat(file.c_str(), &same), 0);
    EXPECT_EQ(same.st_ino, before.st_ino) << "nothing rewritten";
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "2", file));
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "1", dir / "no" / "such" / "dir.ini"));
}

TEST(IniFileObject, EnumerationAndEdits) {
    IniFile ini = IniFile::FromText("\xEF\xBB\xBF[A]\nx=1\nX=2\ny=3\n[b]\n[a]\nz=4\n");
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(ini.Keys("a"), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(ini.GetString("A", "z", ""), "4") << "a repeated section is searched too";
    EXPECT_TRUE(ini.HasSection("B"));
    EXPECT_TRUE(ini.RemoveKey("A", "x"));
    EXPECT_EQ(ini.Get("A", "x"), std::nullopt) << "every line of the key goes";
    EXPECT_FALSE(ini.RemoveKey("A", "x"));
    ini.Set("b", "k", "v");
    EXPECT_EQ(ini.Text(), "[A]\r\ny=3\r\n[b]\r\nk=v\r\n[a]\r\nz=4\r\n");
    EXPECT_TRUE(ini.RemoveSection("A"));
    EXPECT_EQ(ini.Text(), "[b]\r\nk=v\r\n");
}

}  // namespace
}  // namespace corvina

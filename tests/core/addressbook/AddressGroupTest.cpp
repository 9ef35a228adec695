#include "addressbook/AddressGroup.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace corvina::test {
namespace {

TEST(AddressGroup, ReadsNicknameLineAndEntries) {
    ScratchDir dir;
    std::filesystem::path file = dir / "Work.adr";
    WriteFileBytes(file,
                   "(colleagues)\r\n"
                   "ann@x\tAnn Smith\tboss\tannie\thttp://a\tANNKEY\r\n"
                   "ben@y\r\n"
                   "\tno address\r\n"
                   ".\t.\t.\r\n"
                   "(second group line\r\n"
                   "cy@z\t.\t.\tcy\n");
    AddressGroup group(file);
    ASSERT_TRUE(group.Load());
    EXPECT_TRUE(group.loaded);
    EXPECT_EQ(group.Name(), "Work");
    EXPECT_EQ(group.nickname, "colleagues");
    ASSERT_EQ(group.entries.size(), 3u);
    const AddressEntry& ann = group.entries[0];
    EXPECT_EQ(ann.address, "ann@x");
    EXPECT_EQ(ann.name, "Ann Smith");
    EXPECT_EQ(ann.comment, "boss");
    EXPECT_EQ(ann.nickname, "annie");
    EXPECT_EQ(ann.url, "http://a");
    EXPECT_EQ(ann.pgpUserId, "ANNKEY");
    EXPECT_EQ(group.entries[1].name, "");
    EXPECT_EQ(group.entries[2].nickname, "cy");
    EXPECT_EQ(group.entries[2].name, "");
    EXPECT_EQ(group.Addresses(), (std::vector<std::string>{"ann@x", "ben@y", "cy@z"}));
}

TEST(AddressGroup, NicknameLineForms) {
    EXPECT_EQ(AddressGroup::NicknameOfLine("(nick)"), "nick");
    EXPECT_EQ(AddressGroup::NicknameOfLine("(nick\trest)"), "nick");
    EXPECT_EQ(AddressGroup::NicknameOfLine("(open"), "open");
    EXPECT_EQ(AddressGroup::NicknameOfLine("plain"), "");
}

TEST(AddressGroup, MissingFilesAndUnsafeNames) {
    ScratchDir dir;
    AddressGroup group(dir / "none.adr");
    EXPECT_FALSE(group.Load());
    EXPECT_TRUE(group.entries.empty());
    EXPECT_FALSE(AddressGroup::FileFor(dir.Path(), "../x").has_value());
    EXPECT_FALSE(AddressGroup::FileFor(dir.Path(), "").has_value());
    EXPECT_FALSE(AddressGroup::FileFor(dir.Path(), "!Default").has_value());  // no such file
    EXPECT_FALSE(AddressGroup::NewFileFor(dir.Path(), "a/b").has_value());
    EXPECT_EQ(AddressGroup::NewFileFor(dir.Path(), "!Default"), dir / "!Default.adr");
}

}  // namespace
}  // namespace corvina::test

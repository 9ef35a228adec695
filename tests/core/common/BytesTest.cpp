#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "TestSupport.h"
#include "common/AtomicFile.h"
#include "common/Bytes.h"
#include "common/StringTable.h"

namespace corvina {
namespace {

TEST(Bytes, CaseInsensitiveAsciiOnly) {
    EXPECT_TRUE(EqualNoCase("Content-Type", "content-TYPE"));
    EXPECT_FALSE(EqualNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualNoCase("\xC9", "\xE9")) << "no folding beyond ASCII";
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(CompareNoCase("b", "A"), 0);
    EXPECT_LT(CompareNoCase("ab", "ABC"), 0);
    EXPECT_GT(CompareNoCase("\xE9", "a"), 0) << "bytes compare unsigned";
    EXPECT_TRUE(StartsWithNoCase("MAILTO:x@y", "mailto:"));
    EXPECT_FALSE(StartsWithNoCase("mail", "mailto:"));
    EXPECT_TRUE(EndsWithNoCase("InBox.MBX", ".mbx"));
    EXPECT_EQ(FindNoCase("Hello World", "WORLD"), 6u);
    EXPECT_EQ(FindNoCase("abc", "abcd"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("abc", "a", 4), std::string_view::npos);
    EXPECT_EQ(ToLowerAscii("AbC\xC9"), "abc\xC9");
}

TEST(Bytes, TrimSplitAndNewlines) {
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(StripNewline("line\r\n"), "line");
    EXPECT_EQ(StripNewline("line\n\n"), "line\n");
    EXPECT_EQ(Split("a,,b", ','), (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(Split("", ','), (std::vector<std::string_view>{""}));
    EXPECT_EQ(Split("a\\b\\", '\\'), (std::vector<std::string_view>{"a", "b", ""}));
}

TEST(Bytes, AtoiWithBounds) {
    std::size_t used = 99;
    EXPECT_EQ(AtoI("  -42abc", &used), -42);
    EXPECT_EQ(used, 5u);
    EXPECT_EQ(AtoI("x1", &used), 0);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(AtoI("+7"), 7);
    EXPECT_EQ(AtoI("- 7"), 0);
    EXPECT_EQ(AtoI("99999999999999999999"), 2147483647);
    EXPECT_EQ(AtoI("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(AtoLL("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(AtoLL("9223372036854775808"), INT64_MAX);
    int v = 0;
    EXPECT_TRUE(ParseInt("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_FALSE(ParseInt("12 ", v));
    EXPECT_FALSE(ParseInt("", v));
    EXPECT_FALSE(ParseInt("-", v));
    EXPECT_FALSE(ParseInt("2147483648", v));
}

TEST(Bytes, FormatAndReplace) {
    EXPECT_EQ(Format("&%d: %s", 3, "Work"), "&3: Work");
    EXPECT_EQ(Format("MailBox %02d", 7), "MailBox 07");
    const std::string big(1000, 'q');
    EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
    std::string out = "a";
    AppendFormat(out, "%c%u", 'b', 12u);
    EXPECT_EQ(out, "ab12");
    std::string text = "a..b..c";
    ReplaceAll(text, "..", ".");
    EXPECT_EQ(text, "a.b.c");
    ReplaceAll(text, "", "x");
    EXPECT_EQ(text, "a.b.c");
}

TEST(AtomicFile, ReplacesContentsWithTheRequestedMode) {
    test::ScratchDir dir;
    const auto path = dir / "Corvina.ini";
    ASSERT_TRUE(WriteFileAtomically(path, "one", 0600));
    EXPECT_EQ(test::ReadFileBytes(path), "one");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(WriteFileAtomically(path, "two"));  // keeps 0600
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFileBytes(path), "two");

    // Through a link the target is replaced and the link stays.
    const auto link = dir / "link.ini";
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(WriteFileAtomically(link, "three"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadFileBytes(path), "three");

    EXPECT_FALSE(WriteFileAtomically(dir / "none" / "x", "y"));
    // No temporary file is left behind.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
    EXPECT_TRUE(FsyncDirectory(dir.Path()));
    EXPECT_TRUE(FsyncFile(path));
    EXPECT_FALSE(FsyncDirectory(dir / "none"));
}

TEST(StringTable, KnownUnknownAndUniqueIds) {
    EXPECT_STREQ(LoadString(130), "Wrong password!");
    EXPECT_STREQ(LoadString(61451), "This directory cannot be created");
    EXPECT_STREQ(LoadString(-5), "");
    int count = 0;
    const StringTableRow* rows = StringTableRows(&count);
    std::set<int> ids;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(ids.insert(rows[i].id).second) << "duplicate id " << rows[i].id;
        EXPECT_NE(rows[i].text, nullptr);
    }
}

}  // namespace
}  // namespace corvina

#include "editor/DisplayRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CodePage.h"

namespace corvina {
namespace {

RowMetrics Metrics(int codePage, int wrap = 10, int tab = 8) {
    return RowMetrics{&CodePage::Get(codePage), tab, wrap};
}

std::vector<std::string> Rows(std::string_view line, const RowMetrics& m) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    for (;;) {
        const std::size_t next = NextRowStart(line, start, m);
        rows.emplace_back(line.substr(
            start, next == std::string_view::npos ? line.size() - start : next - start));
        if (next == std::string_view::npos) {
            return rows;
        }
        start = next;
    }
}

TEST(DisplayRows, BreakByColumnsAndKeepWideCharactersWhole) {
    struct Case {
        int codePage;
        std::string line;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {932, "\n", {"\n"}},
        {932, "abc\n", {"abc\n"}},
        // A full row ends before its LF: the LF starts a row of its own.
        {932, "0123456789\n", {"0123456789", "\n"}},
        {932, "0123456789ab\n", {"0123456789", "ab\n"}},
        // A double-byte character that would start in the last column
        // starts the next row, leaving that column empty.
        {932, "012345678\x82\xa0x\n", {"012345678", "\x82\xa0x\n"}},
        {932, "01234567\x82\xa0x\n", {"01234567\x82\xa0", "x\n"}},
        // A lead byte before the LF is one column of its own.
        {932, "01234567\x82\n", {"01234567\x82\n"}},
        {65001, "012345678\xe6\x97\xa5x\n", {"012345678", "\xe6\x97\xa5x\n"}},
        {65001, "01234567\xc3\xa9\xc3\xa9\n", {"01234567\xc3\xa9\xc3\xa9", "\n"}},
        // TAB stops: a TAB at column 7 ends at 8, at 8 ends at 16.
        {932, "0123456\ta\n", {"0123456\ta\n"}},
        {932, "0123456\tab\n", {"0123456\tab", "\n"}},
        {932, "01234567\tab\n", {"01234567\t", "ab\n"}},
        // A line shorter than the wrap width whose TABs reach it.
        {932, "1234\t\t\n", {"1234\t\t", "\n"}},
        {65001, "\t\xe6\x97\xa5\xe6\x97\xa5\n", {"\t\xe6\x97\xa5", "\xe6\x97\xa5\n"}},
        // Shorter than the wrap width in bytes: never more columns.
        {65001,
         "\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\n",
         {"\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\n"}},
        {932, "\x82\xa0\x82\xa0\x82\xa0\x82\xa0x\n", {"\x82\xa0\x82\xa0\x82\xa0\x82\xa0x\n"}},
        // Control bytes count one column.
        {932,
         "\x01\x02\x03\x04\x05\x06\x07\x08\x0b\x0cxy\n",
         {"\x01\x02\x03\x04\x05\x06\x07\x08\x0b\x0c", "xy\n"}},
    };
    for (const Case& c : cases) {
        const RowMetrics m = Metrics(c.codePage);
        EXPECT_EQ(Rows(c.line, m), c.rows) << c.line;
        EXPECT_EQ(CountRows(c.line, m), static_cast<int>(c.rows.size())) << c.line;
    }
}

TEST(DisplayRows, ColumnsAndPositionsAgree) {
    const RowMetrics m = Metrics(932, 80, 8);
    const std::string line =
        "a\tb\x82\xa0"
        "c\n";
    EXPECT_EQ(ColumnOf(line, 0, 1, m), 1);
    EXPECT_EQ(ColumnOf(line, 0, 2, m), 8);
    EXPECT_EQ(ColumnOf(line, 0, 3, m), 9);
    EXPECT_EQ(ColumnOf(line, 0, 5, m), 11);
    int reached = -1;
    // A column inside the TAB or inside the wide character gives its start.
    EXPECT_EQ(PosAtColumn(line, 0, 4, m, &reached), 1u);
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(PosAtColumn(line, 0, 10, m, &reached), 3u);
    EXPECT_EQ(reached, 9);
    EXPECT_EQ(PosAtColumn(line, 0, 50, m, &reached), line.size() - 1);
    EXPECT_EQ(reached, 12);

    const RowMetrics narrow = Metrics(932, 4, 8);
    const std::string rows = "abcdefghij\n";
    EXPECT_EQ(RowOf(rows, 5, narrow).row, 1);
    EXPECT_EQ(RowOf(rows, 5, narrow).rowStart, 4u);
    EXPECT_EQ(RowOf(rows, 10, narrow).row, 2);
}

TEST(DisplayRows, LongestLineHasBoundedRows) {
    const RowMetrics m = Metrics(932, 1, 8);
    const std::string line = std::string(65534, 'x') + "\n";
    EXPECT_EQ(CountRows(line, m), 65535);
    // A wrap width narrower than a wide character still makes progress.
    EXPECT_EQ(CountRows("\x82\xa0\x82\xa0\n", m), 3);
}

}  // namespace
}  // namespace corvina

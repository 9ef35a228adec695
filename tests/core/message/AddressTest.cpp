#include <gtest/gtest.h>

#include <thread>

#include "common/CodePage.h"
#include "message/Address.h"

namespace corvina {
namespace {

std::vector<std::string> All(std::string_view list, const CodePage& cp) {
    AddressTokenizer t(list, cp);
    std::vector<std::string> out;
    while (auto a = t.Next()) {
        out.push_back(*a);
    }
    return out;
}

TEST(AddressTokenizer, SplitsAtCommasOutsideQuotesAndComments) {
    const CodePage& cp = CodePage::Get(CodePage::kWestern);
    using V = std::vector<std::string>;
    EXPECT_EQ(All("a@x, \"Doe, John\" <j@x>,c@x ", cp), (V{"a@x", "\"Doe, John\" <j@x>", "c@x "}));
    // A leading comment is skipped; an inner one is kept whole.
    EXPECT_EQ(All(" (team, all) a@x, b@x (Bee, B)", cp), (V{"a@x", "b@x (Bee, B)"}));
    EXPECT_EQ(All(" ,, ", cp), V{});
    EXPECT_EQ(All("a@x, (never closed", cp), V{"a@x"});
}

TEST(AddressTokenizer, StepsOverShiftJisTrailBytes) {
    // 0x81 0x43 is the full-width comma: its trail byte is not a separator
    // on 932; on 1252 the same bytes split.
    std::string list =
        "\x81\x43"
        "x@y, z@w";
    EXPECT_EQ(All(list, CodePage::Get(CodePage::kShiftJis)).size(), 2u);
    std::string raw = "\x81,x@y";
    EXPECT_EQ(All(raw, CodePage::Get(CodePage::kShiftJis)).size(), 1u);
    EXPECT_EQ(All(raw, CodePage::Get(CodePage::kWestern)).size(), 2u);
}

TEST(AddressTokenizer, ThreadStateIsPerThread) {
    EXPECT_EQ(NextAddressToken("a@x, b@x"), "a@x");
    std::optional<std::string> other;
    std::thread t([&] {
        NextAddressToken("q@x, r@x");
        other = NextAddressToken();
    });
    t.join();
    EXPECT_EQ(other, "r@x");
    EXPECT_EQ(NextAddressToken(), "b@x");
    EXPECT_EQ(NextAddressToken(), std::nullopt);
    EXPECT_EQ(NextAddressToken(), std::nullopt);
}

TEST(SplitNameAddress, TheThreeForms) {
    NameAddress na = SplitNameAddress("  \"Doe, John\" <john@example.com>");
    EXPECT_EQ(na.name, "Doe, John");
    EXPECT_EQ(na.address, "john@example.com");
    na = SplitNameAddress("john@example.com (John Doe)");
    EXPECT_EQ(na.name, "John Doe");
    EXPECT_EQ(na.address, "john@example.com");
    na = SplitNameAddress("  john@example.com  ");
    EXPECT_EQ(na.name, "");
    EXPECT_EQ(na.address, "john@example.com");
    na = SplitNameAddress("<only@example.com>");
    EXPECT_EQ(na.name, "");
    EXPECT_EQ(na.address, "only@example.com");
    na = SplitNameAddress("Bob <bob@x");  // no closing bracket
    EXPECT_EQ(na.name, "Bob");
    EXPECT_EQ(na.address, "bob@x");
    // A "<" inside the quoted name is not the address.
    na = SplitNameAddress("\"a<b\" <c@d>");
    EXPECT_EQ(na.address, "c@d");
    EXPECT_EQ(AddressOf("Jane <jane@x>"), "jane@x");
    EXPECT_EQ(AddressOf(""), "");
}

TEST(FormatAddressForList, QuotesNamesWithSpecials) {
    EXPECT_EQ(FormatAddressForList("John Doe", "j@x"), "John Doe <j@x>");
    EXPECT_EQ(FormatAddressForList("Doe, John", "j@x"), "\"Doe, John\" <j@x>");
    EXPECT_EQ(FormatAddressForList("\"Doe, John\"", "j@x"), "\"Doe, John\" <j@x>");
    EXPECT_EQ(FormatAddressForList("", "j@x"), "j@x");
    EXPECT_EQ(FormatGroupForList("Friends"), "@\"Friends\"");
}

}  // namespace
}  // namespace corvina

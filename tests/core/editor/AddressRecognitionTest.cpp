#include "editor/AddressRecognition.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "common/CodePage.h"

namespace corvina {
namespace {

// The address (in UTF-8) at the first character of `needle` in `line`
// (both UTF-8), recognised in the text carried into `page`.
std::string AddressAtNeedle(int page, std::string_view line, std::string_view needle) {
    const CodePage& codePage = CodePage::Get(page);
    const std::string text = codePage.FromUtf8(line);
    const std::size_t pos = text.find(codePage.FromUtf8(needle));
    EXPECT_NE(pos, std::string::npos) << needle;
    const AddressAt address = FindAddressAt(text, pos, codePage);
    EXPECT_EQ(address.text, text.substr(address.start, address.end - address.start));
    return codePage.ToUtf8(address.text);
}

struct Case {
    const char* line;
    const char* needle;  // where the click lands
    const char* expected;
};

void ExpectAddresses(const std::vector<Case>& cases, std::initializer_list<int> pages) {
    for (int page : pages) {
        for (const Case& c : cases) {
            EXPECT_EQ(AddressAtNeedle(page, c.line, c.needle), c.expected)
                << page << ": " << c.line << " @ " << c.needle;
        }
    }
}

TEST(AddressRecognition, WebAddresses) {
    ExpectAddresses(
        {
            {"see http://example.com/a.", "example", "http://example.com/a"},
            {"see http://example.com/a...", "http", "http://example.com/a"},
            {"HTTPS://Example.COM/Q?a=1&b=%20#top", "Q?", "HTTPS://Example.COM/Q?a=1&b=%20#top"},
            {"news:comp.lang.c++ and gopher://g.example/1 ftp://f.example/~u/", "lang",
             "news:comp.lang.c++"},
            {"news:comp.lang.c++ and gopher://g.example/1", "g.ex", "gopher://g.example/1"},
            {"(see http://example.com/a)", "a)", "http://example.com/a"},
            {"<http://example.com/>", "http", "http://example.com/"},
            {"say \"http://example.com/x\" twice", "x\"", "http://example.com/x"},
            // A scheme right after punctuation inside a longer run.
            {"Homepage:http://example.com", "example", "http://example.com"},
            {"go?to=http://a.example/", "a.ex", "http://a.example/"},
            // The scheme alone, a scheme glued to a word, other schemes.
            {"http: and http:// alone", "http:", ""},
            {"http: and http:// alone", "http://", ""},
            {"xhttp://example.com", "example", ""},
            {"file:///etc/passwd", "etc", ""},
            {"at http://example.com.", "m.", "http://example.com"},
        },
        {CodePage::kWestern, CodePage::kUtf8, CodePage::kShiftJis});
}

TEST(AddressRecognition, MailAddresses) {
    ExpectAddresses(
        {
            {"write to taro@example.jp.", "taro", "taro@example.jp"},
            {"write to taro@example.jp.", "jp", "taro@example.jp"},
            {"a@x.example,b@y.example", "b@", "b@y.example"},
            {"a@x.example,b@y.example", "x.", "a@x.example"},
            {"-- taro.yamada_2@sub-domain.example", "yamada", "taro.yamada_2@sub-domain.example"},
            {"--taro@example.jp", "taro", "taro@example.jp"},
            {"<mailto:Taro@Example.JP>", "mailto", "mailto:Taro@Example.JP"},
            {"<mailto:Taro@Example.JP>", "Example", "mailto:Taro@Example.JP"},
            {"\"john doe\"@example.com", "john", "\"john doe\"@example.com"},
            {"\"Doe, John\"@example.com", "example", "\"Doe, John\"@example.com"},
            {"he said \"taro@example.jp\" again", "taro", "taro@example.jp"},
            // A closing quote opens no quoted part.
            {"\"Yamada, Taro\" <taro@x.example>, \"Suzuki, Jiro\" <jiro@x.example>", "taro@",
             "taro@x.example"},
            {"Mail:support@example.jp", "support", "support@example.jp"},
            // A name followed by "@" alone, an "@" first, a run ending in "@".
            {"ask Taro@ by Friday", "Taro", ""},
            {"ask Taro@. by Friday", "Taro", ""},
            {"@taro on the net", "taro", ""},
            {"a@b@", "a", ""},
        },
        {CodePage::kWestern, CodePage::kUtf8, CodePage::kShiftJis});
}

TEST(AddressRecognition, JapaneseTextRightAgainstAddresses) {
    ExpectAddresses(
        {
            {"資料はhttp://example.jp/study/を参照", "study", "http://example.jp/study/"},
            {"連絡先はtaro@example.jpです。", "taro", "taro@example.jp"},
            {"連絡先はtaro@example.jpです。", "です", ""},
            {"「http://example.jp」", "http", "http://example.jp"},
            // Shift_JIS trail bytes that read as ASCII letters: ア is 83 41,
            // ヂ is 83 61, ソ is 83 5C.
            {"http://example.jp/アイ", "http", "http://example.jp/"},
            {"ヂtaro@example.jp", "taro", "taro@example.jp"},
            {"taro@example.jpソ", "taro", "taro@example.jp"},
            {"アhttp://example.jp", "http", "http://example.jp"},
        },
        {CodePage::kUtf8, CodePage::kShiftJis});
}

TEST(AddressRecognition, PositionsOutsideAnyAddress) {
    const CodePage& page = CodePage::Get(CodePage::kWestern);
    EXPECT_EQ(FindAddressAt("x http://a.example", 18, page).kind, AddressAt::Kind::kNone);
    // The full stop after an address.
    EXPECT_EQ(FindAddressAt("at http://a.example.", 19, page).kind, AddressAt::Kind::kNone);
    EXPECT_EQ(FindAddressAt("to taro@a.example.", 17, page).kind, AddressAt::Kind::kNone);
    EXPECT_EQ(FindAddressAt("", 0, page).kind, AddressAt::Kind::kNone);
    const AddressAt web = FindAddressAt("x http://a.example y", 2, page);
    EXPECT_EQ(web.kind, AddressAt::Kind::kWeb);
    EXPECT_EQ(web.start, 2u);
    EXPECT_EQ(web.end, 18u);
}

TEST(AddressRecognition, TrimmedAddressesToWriteTo) {
    const CodePage& page = CodePage::Get(CodePage::kUtf8);
    struct Case {
        const char* line;
        const char* needle;
        const char* expected;
    } cases[] = {
        {"mailto:taro@example.jp", "taro", "taro@example.jp"},
        {"\"Yamada, Taro\" <taro@example.jp>", "taro", "\"Yamada, Taro\" <taro@example.jp>"},
        {"\"Taro\"  <mailto:taro@example.jp>", "taro", "\"Taro\" <taro@example.jp>"},
        {"\"Taro\" taro@example.jp", "taro@", "taro@example.jp"},
        {"\"x:y\"@example.jp", "x:", "\"x:y\"@example.jp"},
    };
    for (const Case& c : cases) {
        const std::string line = c.line;
        const AddressAt address = FindAddressAt(line, line.find(c.needle), page);
        EXPECT_EQ(AddressToWriteTo(line, address), c.expected) << c.line;
    }
}

TEST(AddressRecognition, RealNoticeOnBothJapanesePages) {
    const std::string text =
        test::ReadFileBytes(test::DataPath("editor/addresses/study-group-notice.txt"));
    ExpectAddresses(
        {
            {text.c_str(), "taro.yamada", "taro.yamada@example.co.jp"},
            {text.c_str(), "hanako", "hanako@example.jp"},
            {text.c_str(), "jiro@", "jiro@example.jp"},
            {text.c_str(), "Suzuki", ""},
            {text.c_str(), "study/2026", "http://example.jp/study/2026/"},
            {text.c_str(), "events", "https://www.example.org/events?id=42&lang=ja#schedule"},
            {text.c_str(), "forms", "http://forms.example.com/apply?from=mail"},
            {text.c_str(), "Tokyo_Station", "http://maps.example.net/place/Tokyo_Station"},
            {text.c_str(), "slides", "ftp://ftp.example.org/pub/slides.pdf"},
            {text.c_str(), "old.example", "http://old.example.jp/index.html"},
            {text.c_str(), "study-admin", "mailto:study-admin@example.jp"},
            {text.c_str(), "support", "support@example.jp"},
            {text.c_str(), "Taro@", ""},
            {text.c_str(), "www.example.jp", "http://www.example.jp"},
            {text.c_str(), "blog", "https://taro.example.jp/blog/"},
        },
        {CodePage::kUtf8, CodePage::kShiftJis});

    for (int page : {CodePage::kUtf8, CodePage::kShiftJis}) {
        const CodePage& codePage = CodePage::Get(page);
        const std::string inPage = codePage.FromUtf8(text);
        std::vector<std::string_view> lines;
        for (std::size_t at = 0; at < inPage.size();) {
            const std::size_t lf = inPage.find('\n', at);
            lines.push_back(std::string_view(inPage).substr(at, lf - at));
            at = lf == std::string::npos ? inPage.size() : lf + 1;
        }
        EXPECT_EQ(
            HttpAddressesOf(lines, codePage),
            (std::vector<std::string>{"http://example.jp/study/2026/",
                                      "https://www.example.org/events?id=42&lang=ja#schedule",
                                      "http://forms.example.com/apply?from=mail",
                                      "http://maps.example.net/place/Tokyo_Station",
                                      "http://old.example.jp/index.html", "http://www.example.jp",
                                      "https://taro.example.jp/blog/"}))
            << page;
    }
}

}  // namespace
}  // namespace corvina

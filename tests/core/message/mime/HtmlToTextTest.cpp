// HTML-only mail shown as text: the rendering rules on small documents, the
// mails of tests/data/html (a newsletter, Outlook and Gmail replies, a
// receipt of tables, one with scripts and remote images, one in Shift_JIS)
// through the parser, and the rendered flag through a folder file.
#include <gtest/gtest.h>

#include <memory>

#include "MimeTestSupport.h"
#include "message/mime/HtmlToText.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina::test {
namespace {

using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\n";
    }
    return out;
}

std::string Render(std::string_view html, std::string_view charset = "utf-8",
                   int codePage = CodePage::kUtf8) {
    return Joined(HtmlToText(html, charset, CodePage::Get(codePage)));
}

struct RenderCase {
    const char* what;
    const char* html;
    const char* text;
};

const RenderCase kRenderCases[] = {
    {"paragraphs, breaks, blanks", "<p>One\n  two</p><p>Three<br>Four<br><br>Five</p>",
     "One two\n\nThree\nFour\n\nFive\n"},
    {"lists, nested and numbered",
     "<p>Before</p><ul><li>a<ul><li>b</li></ul></li><li><p>c</p></li></ul>"
     "<ol start=\"3\"><li>x</li><li>y</li></ol>",
     "Before\n\n* a\n  * b\n* c\n\n3. x\n4. y\n"},
    {"headings", "<h1>Title</h1><p>Body</p><h3>Small</h3>x",
     "Title\n=====\n\nBody\n\nSmall\n\nx\n"},
    {"table rows, empty cells left out",
     "<table><tr><th>A</th><th>B</th></tr><tr><td>1</td><td> </td><td>2</td></tr></table>",
     "A | B\n1 | 2\n"},
    {"layout table around a data table",
     "<table><tr><td><table><tr><td>x</td><td>y</td></tr></table><p>para</p></td></tr></table>",
     "x | y\n\npara\n"},
    {"quotation", "<p>Me</p><blockquote><p>You</p><p>Again</p></blockquote>",
     "Me\n\n> You\n>\n> Again\n"},
    {"links: followable schemes only, address alone when it is the text",
     "<a href=\"https://a.example/x\">Site</a> <a href=\"https://a.example/x/\">a.example/x</a> "
     "<a href=\"mailto:m@a.example\">m@a.example</a> <a href=\"javascript:x()\">js</a> "
     "<a href=\"https://t.example\"><img src=\"https://t.example/i.png\"></a>",
     "Site <https://a.example/x> https://a.example/x/ m@a.example js\n"},
    {"preformatted text kept", "<p>x</p><pre>a  b\n\tc\n</pre>", "x\n\na  b\n        c\n"},
    {"head, scripts, styles, hidden text dropped; images by alt text",
     "<head><title>T</title><style>p{}</style></head><body><script>x()</script>"
     "<div style=\"DISPLAY: none\">hidden</div><img src=\"https://r.example/p.gif\" alt=\"Logo\"> "
     "text<img src=\"https://r.example/q.gif\"></body>",
     "Logo text\n"},
    {"entities and invisible padding",
     "&lt;b&gt; &amp; &eacute; &#x263A; a&nbsp;&nbsp;b &zwnj;&#847;c",
     "<b> & \xC3\xA9 \xE2\x98\xBA a b c\n"},
    {"Outlook lines",
     "<p class=MsoNormal>Hi,</p><p class=MsoNormal>&nbsp;</p><p class=MsoNormal>Tom</p>",
     "Hi,\n\nTom\n"},
    {"nothing readable", "<html><head><style>x{}</style></head></html>", ""},
    {"no document at all", "", ""},
};

TEST(HtmlToText, RendersEachConstruct) {
    for (const RenderCase& c : kRenderCases) {
        EXPECT_EQ(Render(c.html), c.text) << c.what;
    }
}

TEST(HtmlToText, WrapsAtBlanksByColumnsKeepingAddressesWhole) {
    std::string words;
    for (int i = 0; i < 60; ++i) {
        words += "word" + std::to_string(i) + " ";
    }
    const std::string url = "https://example.com/" + std::string(90, 'a');
    // Japanese runs without blanks break between characters, two columns each.
    std::string japanese;
    for (int i = 0; i < 60; ++i) {
        japanese += "\xE6\x97\xA5";  // U+65E5
    }
    const Lines lines =
        HtmlToText("<p>" + words + "</p><p><a href=\"" + url + "\">" + url + "</a></p><p>" +
                       japanese + "</p><blockquote>" + words + "</blockquote>",
                   "utf-8", CodePage::Get(CodePage::kUtf8));
    std::string text;
    for (const std::string& line : lines) {
        if (line != url) {
            EXPECT_LE(CodePage::Get(CodePage::kUtf8).TextColumns(line), kHtmlTextColumns) << line;
        }
        text += line;
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), url), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), japanese.substr(0, 38 * 3)), lines.end());
    EXPECT_NE(text.find("word58 word59"), std::string::npos);
    EXPECT_EQ(lines.back().substr(0, 2), "> ");
}

TEST(HtmlToText, ReadsTheDeclaredOrLabelledCharsetIntoTheCodePage) {
    const std::string sjis = "<p>\x93\xFA\x96\x7B</p>";  // "日本" in Shift_JIS
    EXPECT_EQ(Render(sjis, "Shift_JIS"), "\xE6\x97\xA5\xE6\x9C\xAC\n");
    EXPECT_EQ(Render(sjis, "Shift_JIS", 932), "\x93\xFA\x96\x7B\n");
    // Undeclared: the document's own label, else UTF-8.
    EXPECT_EQ(Render("<meta charset=\"iso-8859-1\"><p>caf\xE9</p>", ""), "caf\xC3\xA9\n");
    EXPECT_EQ(Render("<p>caf\xC3\xA9</p>", ""), "caf\xC3\xA9\n");
    EXPECT_EQ(Render("<p>caf\xC3\xA9</p>", "utf-8", 1252), "caf\xE9\n");
    // Undeclared JIS, as the plain-text reader takes it.
    EXPECT_EQ(Render("<p>\x1b$BF|K\\\x1b(B</p>", ""), "\xE6\x97\xA5\xE6\x9C\xAC\n");
}

TEST(HtmlToText, SurvivesDeepAndBrokenDocuments) {
    // The parser gives up below a few hundred levels; what came before stays.
    std::string deep = "top";
    for (int i = 0; i < 20000; ++i) {
        deep += i % 3 == 0 ? "<div>" : i % 3 == 1 ? "<table><tr><td>" : "<blockquote>";
    }
    deep += "bottom";
    EXPECT_EQ(Render(deep).substr(0, 4), "top\n");
    EXPECT_EQ(Render("<p>unclosed <b>bold <a href=\"https://x.example\">link"),
              "unclosed bold link <https://x.example>\n");
    EXPECT_EQ(Render(std::string("\0\xff<\x01>", 5)).find('\0'), std::string::npos);
}

// The mails: what the parser shows, what it keeps as attachments, and what
// never reaches the text.
struct MailCase {
    const char* file;
    std::vector<std::string> attachments;
    std::vector<std::string> shownLines;  // in this order, not necessarily adjacent
    std::vector<std::string> neverShown;
};

const MailCase kMailCases[] = {
    {"newsletter.eml",
     {"Atch0000.html"},
     {"October in the garden", "Plant now", "* Tulips & daffodils: 15 cm deep, pointed end up",
      "1. Seed swap \xE2\x80\x93 Saturday 18 October, 10:00, Church Hall",
      "Book a table at the swap", "https://riverside-gardeners.example/."},
     {"Bulbs, frost dates", "@media", "open.gif", "Riverside Gardeners \xE2\x80\x93 October"}},
    {"outlook-reply.eml",
     {"Atch0000.html"},
     {"Hi Anna,", "", "Item | Cost", "Venue | \xC2\xA3 1,200", "Best regards,", "Tom", "",
      "From: Anna Berg <anna.berg@example.com>", "Sent: Tuesday, 7 October 2025 09:12"},
     {"font-face", "behavior", "shapedefaults"}},
    {"gmail-reply.eml",
     {"Atch0000.html", "agenda.pdf"},
     {"Sounds good, see you there!", "",
      "The agenda is attached. Directions: https://maps.example.com/?q=Church+Hall", "",
      "On Mon, 6 Oct 2025 at 18:40, Priya Nair <priya@example.net> wrote:", "", "> Hi Sam,", ">",
      "> minutes from last time."},
     {"gmail_quote"}},
    {"receipt-tables.eml",
     {"Atch0000.html"},
     {"Northwind Books | Order #NW-40213", "Item | Qty | Price",
      "The Sea Around Us (paperback) | 1 | \xE2\x82\xAC"
      "12.50",
      "Total | \xE2\x82\xAC"
      "52.30",
      "Delivery address", "28013 Madrid"},
     {"font-family"}},
    {"script-style-remote-images.eml",
     {"Atch0000.html"},
     {"Your invoice is ready.", "[Invoice banner]", "<https://billing.example/invoice/42>.",
      "Thank you."},
     {"evil.example", "cookie", "alert", "Enable scripts", "Frame text", "javascript", "data:"}},
    {"shift-jis.eml",
     {"Atch0000.html"},
     {"\xE5\xB1\xB1\xE7\x94\xB0\xE6\xA7\x98",  // 山田様
      "* \xE8\xAD\xB0\xE9\xA1\x8C\xEF\xBC\x9A\xE4\xBA\x88\xE7\xAE\x97\xE3\x81\xAE\xE8\xA6\x8B"
      "\xE7\x9B\xB4\xE3\x81\x97",  // * 議題：予算の見直し
      "\xE5\xA0\xB4\xE6\x89\x80 | \xE7\xAC\xAC\xE4\xB8\x89\xE4\xBC\x9A\xE8\xAD\xB0\xE5\xAE\xA4"},
     {"\xE3\x81\x8A\xE7\x9F\xA5\xE3\x82\x89\xE3\x81\x9B"}},  // お知らせ, the title
};

TEST(HtmlOnlyMail, ShowsTheRenderingAndKeepsTheHtmlAttachment) {
    for (const MailCase& c : kMailCases) {
        SCOPED_TRACE(c.file);
        MimeFixture fx;
        MailMessage m;
        fx.Parse(m, ReadFileBytes(DataPath(std::string("html/") + c.file)));
        EXPECT_TRUE(m.renderedFromHtml);
        EXPECT_EQ(fx.AttachmentNames(m), c.attachments);
        const std::string html = ReadFileBytes(m.attachments.at(0).path);
        EXPECT_NE(html.find("</"), std::string::npos);  // the part as sent, decoded
        const Lines body = fx.Body(m);
        auto at = body.begin();
        for (const std::string& line : c.shownLines) {
            at = std::find(at, body.end(), line);
            ASSERT_NE(at, body.end()) << "missing or out of order: \"" << line << "\"\n"
                                      << Joined(body);
            ++at;
        }
        const std::string text = Joined(body);
        for (const std::string& never : c.neverShown) {
            EXPECT_EQ(text.find(never), std::string::npos) << never;
        }
    }
}

TEST(HtmlOnlyMail, PlainTextAlternativeIsShownAsBefore) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, ReadFileBytes(DataPath("html/alternative-with-plain.eml")));
    EXPECT_FALSE(m.renderedFromHtml);
    EXPECT_EQ(fx.Body(m),
              (Lines{"Hello Tom,", "Could we meet on Thursday to go through the budget?", ""}));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"Atch0000.html"}));
}

TEST(HtmlOnlyMail, RenderedFlagSurvivesTheFolderFileAndIsNotTakenFromOutside) {
    MimeFixture fx;
    auto received = std::make_unique<MailMessage>();
    fx.Parse(*received, ReadFileBytes(DataPath("html/gmail-reply.eml")));
    const Lines body = fx.Body(*received);
    StoreContext context{fx.dir.Path(), nullptr};
    ASSERT_TRUE(AppendToFolderFile(*received, "InBox", context));

    // A sender cannot mark plain text as a rendering.
    MailMessage forged;
    fx.Parse(forged, "From: a@example.org\nX-Marlo-Rendered-Html: 1\n\nplain\n");
    EXPECT_FALSE(forged.renderedFromHtml);
    ASSERT_TRUE(AppendToFolderFile(forged, "InBox", context));

    MailFolder folder(fx.dir / "InBox.mbx");
    ASSERT_TRUE(LoadFolder(folder, context));
    ASSERT_EQ(folder.messages.size(), 2u);
    EXPECT_TRUE(folder.messages[0]->renderedFromHtml);
    EXPECT_FALSE(folder.messages[1]->renderedFromHtml);
    LoadMessageBody(*folder.messages[0]);
    EXPECT_EQ(fx.Body(*folder.messages[0]), body);
    EXPECT_EQ(folder.messages[0]->attachments.size(), 2u);

    // Parsed again as the program's own copy, the flag is read back.
    fx.options.trustStoreLines = true;
    MailMessage copy;
    fx.Parse(copy, SerializeMessage(*received, fx.dir.Path()));
    EXPECT_TRUE(copy.renderedFromHtml);
    EXPECT_EQ(fx.Body(copy), body);
}

}  // namespace
}  // namespace corvina::test

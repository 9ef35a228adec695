#include "editor/AddressClick.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/DisplayRows.h"
#include "editor/EditorOptions.h"
#include "editor/EditorSettingsFile.h"

namespace corvina {
namespace {

using Action = AddressDecision::Action;

// A click on the first character of `needle` in line `line` of a text
// given in UTF-8 and carried into `page`.
class Click {
public:
    Click(int page, const std::vector<std::string>& utf8Lines, std::size_t line,
          std::string_view needle, int wrapWidth = 80)
        : codePage_(CodePage::Get(page)), sets_(BuiltInKinsokuSets(page)) {
        for (const std::string& text : utf8Lines) {
            lines_.push_back(codePage_.FromUtf8(text));
        }
        for (const std::string& text : lines_) {
            click.lines.push_back(text);
        }
        click.line = line;
        click.pos = lines_[line].find(codePage_.FromUtf8(needle));
        EXPECT_NE(click.pos, std::string::npos) << needle;
        metrics_.codePage = &codePage_;
        metrics_.wrapWidth = wrapWidth;
    }

    AddressDecision DoubleClick() const { return DecideDoubleClick(click, metrics_, sets_); }
    AddressDecision Menu(EditorCommand command) const {
        return DecideAddressMenuCommand(command, click, metrics_, sets_);
    }
    std::string Utf8(std::string_view text) const { return codePage_.ToUtf8(text); }
    std::string Selected(const AddressDecision& decision) const {
        return Utf8(std::string_view(lines_[click.line])
                        .substr(decision.from, decision.to - decision.from));
    }
    std::pair<std::size_t, std::size_t> WordRun() const {
        return WordRunAt(lines_[click.line], click.pos, codePage_, sets_);
    }

    AddressClick click;

private:
    const CodePage& codePage_;
    KinsokuSets sets_;
    RowMetrics metrics_;
    std::vector<std::string> lines_;
};

TEST(AddressClick, DoubleClickFollowsTheActions) {
    using W = WebAddressAction;
    using M = MailAddressAction;
    const std::vector<std::string> text = {
        "see http://example.com/a. or \"Taro\" <taro@example.jp>"};
    struct Case {
        const char* needle;
        WebAddressAction web;
        MailAddressAction mail;
        Action action;
        const char* result;  // the address, or the selected text
    } cases[] = {
        {"example.com", W::kOpen, M::kWrite, Action::kOpenUrl, "http://example.com/a"},
        {"example.com", W::kSelectAddress, M::kWrite, Action::kSelect, "http://example.com/a"},
        {"example.com", W::kSelectWord, M::kWrite, Action::kSelect, "example"},
        {"taro@", W::kOpen, M::kWrite, Action::kWriteTo, "\"Taro\" <taro@example.jp>"},
        {"taro@", W::kOpen, M::kAddToAddressBook, Action::kAddToAddressBook, "taro@example.jp"},
        {"taro@", W::kOpen, M::kSelectAddress, Action::kSelect, "taro@example.jp"},
        // "@" is no word delimiter.
        {"taro@", W::kOpen, M::kSelectWord, Action::kSelect, "taro@example"},
        // No address: the word at the caret.
        {"see", W::kOpen, M::kWrite, Action::kSelect, "see"},
    };
    for (int page : {CodePage::kUtf8, CodePage::kShiftJis}) {
        for (const Case& c : cases) {
            Click click(page, text, 0, c.needle);
            click.click.webAction = c.web;
            click.click.mailAction = c.mail;
            const AddressDecision decision = click.DoubleClick();
            EXPECT_EQ(decision.action, c.action) << c.needle;
            const std::string result = decision.action == Action::kSelect
                                           ? click.Selected(decision)
                                           : click.Utf8(decision.address);
            EXPECT_EQ(result, c.result) << page << " " << c.needle;
            if (c.action == Action::kSelect && c.mail == M::kSelectWord) {
                EXPECT_EQ(std::make_pair(decision.from, decision.to), click.WordRun());
            }
        }
    }
}

TEST(AddressClick, SelectionAndLineNumberColumn) {
    Click click(CodePage::kUtf8, {"http://example.com/ and more"}, 0, "example");
    click.click.selectionActive = true;
    EXPECT_EQ(click.DoubleClick().action, Action::kClearSelection);

    Click numbers(CodePage::kUtf8, {"skip this: the rest"}, 0, "the");
    numbers.click.inLineNumbers = true;
    const AddressDecision decision = numbers.DoubleClick();
    EXPECT_EQ(decision.action, Action::kSelect);
    EXPECT_EQ(numbers.Selected(decision), "the rest");
}

TEST(AddressClick, AddToAddressBookTakesNameAndWebAddresses) {
    struct Case {
        const char* line;
        const char* needle;
        const char* name;
        int wrapWidth;
    } cases[] = {
        {"From: Taro Yamada <taro@example.jp>", "taro@", "Taro Yamada", 80},
        {"To: hanako@example.jp, Jiro Suzuki <jiro@example.jp>", "jiro@", "Jiro Suzuki", 80},
        {"Cc: \"Yamada, Taro\" <taro@example.jp>", "taro@", "Yamada, Taro", 80},
        {"Re: \"A: B\" <ab@example.jp>", "ab@", "A: B", 80},
        {"差出人: 山田 太郎 <taro@example.jp>", "taro@", "山田 太郎", 80},
        {"taro@example.jp", "taro@", "", 80},
        {"Cc: <mailto:taro@example.jp>", "taro@", "", 80},
        // The name is taken from the display row that holds the address.
        {"0123456789012345678 Taro <taro@example.jp>", "taro@", "Taro", 20},
    };
    for (int page : {CodePage::kUtf8, CodePage::kShiftJis}) {
        for (const Case& c : cases) {
            Click click(page,
                        {"http://a.example/ and https://b.example.", c.line,
                         "again http://a.example/ and ftp://f.example/"},
                        1, c.needle, c.wrapWidth);
            click.click.mailAction = MailAddressAction::kAddToAddressBook;
            const AddressDecision decision = click.DoubleClick();
            ASSERT_EQ(decision.action, Action::kAddToAddressBook) << c.line;
            EXPECT_EQ(click.Utf8(decision.address), std::string(c.needle) + "example.jp");
            EXPECT_EQ(click.Utf8(decision.displayName), c.name) << page << " " << c.line;
            EXPECT_EQ(decision.webAddresses, "http://a.example/, https://b.example");
        }
    }
}

TEST(AddressClick, MenuCommandsSetTheActionForOneClick) {
    const std::vector<std::string> text = {"http://example.com/path", "mailto:taro@example.jp"};
    struct Case {
        EditorCommand command;
        std::size_t line;
        Action action;
        const char* result;
    } cases[] = {
        {EditorCommand::kOpenUrl, 0, Action::kOpenUrl, "http://example.com/path"},
        {EditorCommand::kHighlightUrl, 0, Action::kSelect, "http://example.com/path"},
        {EditorCommand::kHighlightWordOfUrl, 0, Action::kSelect, "example"},
        {EditorCommand::kMailToAddress, 1, Action::kWriteTo, "taro@example.jp"},
        {EditorCommand::kAddToAddressBook, 1, Action::kAddToAddressBook, "taro@example.jp"},
        {EditorCommand::kHighlightAddress, 1, Action::kSelect, "mailto:taro@example.jp"},
        {EditorCommand::kHighlightWordOfAddress, 1, Action::kSelect, "taro@example"},
        {EditorCommand::kCsrUp, 0, Action::kNone, ""},
    };
    for (const Case& c : cases) {
        Click click(CodePage::kUtf8, text, c.line, "example");
        // Defaults that differ from every command; a selection does not stop a command.
        click.click.webAction = WebAddressAction::kSelectWord;
        click.click.mailAction = MailAddressAction::kSelectWord;
        click.click.selectionActive = true;
        const AddressDecision decision = click.Menu(c.command);
        EXPECT_EQ(decision.action, c.action) << static_cast<int>(c.command);
        const std::string result = decision.action == Action::kSelect
                                       ? click.Selected(decision)
                                       : click.Utf8(decision.address);
        EXPECT_EQ(result, c.result) << static_cast<int>(c.command);
    }
}

TEST(AddressClick, MenusAndStoredActions) {
    const CodePage& page = CodePage::Get(CodePage::kUtf8);
    EXPECT_EQ(AddressMenuAt("x http://a.example", 4, page), AddressMenu::kWeb);
    EXPECT_EQ(AddressMenuAt("x taro@a.example", 4, page), AddressMenu::kMail);
    EXPECT_EQ(AddressMenuAt("x taro@a.example", 0, page), AddressMenu::kNone);
    // The stored values are the actions' own; others select the address,
    // which changes nothing.
    for (int stored : {0, 2, 3}) {
        EXPECT_EQ(static_cast<int>(WebAddressActionOf(stored)), stored);
    }
    for (int stored : {0, 1, 2, 3}) {
        EXPECT_EQ(static_cast<int>(MailAddressActionOf(stored)), stored);
    }
    for (int stored : {-1, 1, 4}) {
        EXPECT_EQ(WebAddressActionOf(stored), WebAddressAction::kSelectAddress);
    }
    for (int stored : {-1, 4, 9}) {
        EXPECT_EQ(MailAddressActionOf(stored), MailAddressAction::kSelectAddress);
    }
}

}  // namespace
}  // namespace corvina

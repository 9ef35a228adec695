#include "editor/AddressClick.h"

#include <algorithm>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/DisplayRows.h"

namespace corvina {
namespace {

using Action = AddressDecision::Action;

// The name written in front of "<address>" on the address's display row:
// after a leading part that ends in a colon ("From:") and after the
// addresses before it on the row ("a@example.jp, Taro <...>"); the quotes
// of a quoted name are dropped.
std::string DisplayNameBefore(std::string_view line, const AddressAt& address,
                              const RowMetrics& metrics) {
    if (address.start == 0 || line[address.start - 1] != '<') {
        return std::string();
    }
    const std::size_t bracket = address.start - 1;
    std::size_t nameStart = RowOf(line, bracket, metrics).rowStart;
    bool quoted = false;
    // These bytes are never trail bytes of a double-byte character.
    for (std::size_t i = nameStart; i < bracket; ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ':' || c == ',' || c == ';' || c == '>')) {
            nameStart = i + 1;
        }
    }
    std::string_view name = Trim(line.substr(nameStart, bracket - nameStart));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        name = Trim(name.substr(1, name.size() - 2));
    }
    return std::string(name);
}

std::string JoinedHttpAddresses(const std::vector<std::string_view>& lines,
                                const CodePage& codePage) {
    std::string joined;
    for (const std::string& address : HttpAddressesOf(lines, codePage)) {
        joined += joined.empty() ? "" : ", ";
        joined += address;
    }
    return joined;
}

AddressDecision Select(std::size_t from, std::size_t to) {
    AddressDecision decision;
    if (from < to) {
        decision.action = Action::kSelect;
        decision.from = from;
        decision.to = to;
    }
    return decision;
}

AddressDecision SelectWord(std::string_view line, std::size_t pos, const RowMetrics& metrics,
                           const KinsokuSets& sets) {
    const auto [from, to] = WordRunAt(line, pos, *metrics.codePage, sets);
    return Select(from, to);
}

}  // namespace

WebAddressAction WebAddressActionOf(int stored) {
    switch (stored) {
        case 0:
            return WebAddressAction::kOpen;
        case 3:
            return WebAddressAction::kSelectWord;
        default:
            return WebAddressAction::kSelectAddress;
    }
}

MailAddressAction MailAddressActionOf(int stored) {
    switch (stored) {
        case 0:
            return MailAddressAction::kWrite;
        case 1:
            return MailAddressAction::kAddToAddressBook;
        case 3:
            return MailAddressAction::kSelectWord;
        default:
            return MailAddressAction::kSelectAddress;
    }
}

AddressDecision DecideDoubleClick(const AddressClick& click, const RowMetrics& givenMetrics,
                                  const KinsokuSets& sets) {
    RowMetrics metrics = givenMetrics;
    if (metrics.codePage == nullptr) {
        metrics.codePage = &CodePage::Working();
    }
    if (click.selectionActive) {
        AddressDecision decision;
        decision.action = Action::kClearSelection;
        return decision;
    }
    if (click.line >= click.lines.size()) {
        return AddressDecision();
    }
    const std::string_view line = click.lines[click.line];
    const std::size_t pos = std::min(click.pos, line.size());
    if (click.inLineNumbers) {
        return Select(pos, line.size());
    }
    const AddressAt address = FindAddressAt(line, pos, *metrics.codePage);
    AddressDecision decision;
    if (address.kind == AddressAt::Kind::kWeb) {
        switch (click.webAction) {
            case WebAddressAction::kOpen:
                // A quote or comma never reaches the browser's command line.
                decision.action = Action::kOpenUrl;
                decision.address = address.text.substr(0, address.text.find_first_of("\","));
                return decision;
            case WebAddressAction::kSelectAddress:
                return Select(address.start, address.end);
            case WebAddressAction::kSelectWord:
                break;
        }
    } else if (address.kind == AddressAt::Kind::kMail) {
        switch (click.mailAction) {
            case MailAddressAction::kWrite:
                decision.action = Action::kWriteTo;
                decision.address = AddressToWriteTo(line, address);
                return decision;
            case MailAddressAction::kAddToAddressBook:
                decision.action = Action::kAddToAddressBook;
                decision.address = BareMailAddress(address.text);
                decision.displayName = DisplayNameBefore(line, address, metrics);
                decision.webAddresses = JoinedHttpAddresses(click.lines, *metrics.codePage);
                return decision;
            case MailAddressAction::kSelectAddress:
                return Select(address.start, address.end);
            case MailAddressAction::kSelectWord:
                break;
        }
    }
    return SelectWord(line, pos, metrics, sets);
}

AddressDecision DecideAddressMenuCommand(EditorCommand command, AddressClick click,
                                         const RowMetrics& metrics, const KinsokuSets& sets) {
    switch (command) {
        case EditorCommand::kOpenUrl:
            click.webAction = WebAddressAction::kOpen;
            break;
        case EditorCommand::kHighlightUrl:
            click.webAction = WebAddressAction::kSelectAddress;
            break;
        case EditorCommand::kHighlightWordOfUrl:
            click.webAction = WebAddressAction::kSelectWord;
            click.mailAction = MailAddressAction::kSelectWord;
            break;
        case EditorCommand::kMailToAddress:
            click.mailAction = MailAddressAction::kWrite;
            break;
        case EditorCommand::kAddToAddressBook:
            click.mailAction = MailAddressAction::kAddToAddressBook;
            break;
        case EditorCommand::kHighlightAddress:
            click.mailAction = MailAddressAction::kSelectAddress;
            break;
        case EditorCommand::kHighlightWordOfAddress:
            click.mailAction = MailAddressAction::kSelectWord;
            break;
        default:
            return AddressDecision();
    }
    click.selectionActive = false;
    click.inLineNumbers = false;
    return DecideDoubleClick(click, metrics, sets);
}

AddressMenu AddressMenuAt(std::string_view line, std::size_t pos, const CodePage& codePage) {
    switch (FindAddressAt(line, pos, codePage).kind) {
        case AddressAt::Kind::kWeb:
            return AddressMenu::kWeb;
        case AddressAt::Kind::kMail:
            return AddressMenu::kMail;
        case AddressAt::Kind::kNone:
            break;
    }
    return AddressMenu::kNone;
}

std::vector<EditorCommand> AddressMenuCommands(AddressMenu menu) {
    switch (menu) {
        case AddressMenu::kWeb:
            return {EditorCommand::kOpenUrl, EditorCommand::kHighlightUrl,
                    EditorCommand::kHighlightWordOfUrl};
        case AddressMenu::kMail:
            return {EditorCommand::kMailToAddress, EditorCommand::kAddToAddressBook,
                    EditorCommand::kHighlightAddress, EditorCommand::kHighlightWordOfAddress};
        case AddressMenu::kNone:
            break;
    }
    return {};
}

}  // namespace corvina

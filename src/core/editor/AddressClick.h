#pragma once
// What a double-click or a command of the address context menus does at a
// place in the text: clear the selection, open a web address, write to or
// file a mail address, or select. Pure decisions: the view carries them
// out (the browser, the compose window and the address-book dialog belong
// to the windows).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "editor/AddressRecognition.h"
#include "editor/EditorCommandIds.h"

namespace corvina {

class CodePage;
struct KinsokuSets;
struct RowMetrics;

// What a double-click on a web address does; the values are those the
// preferences store.
enum class WebAddressAction { kOpen = 0, kSelectAddress = 2, kSelectWord = 3 };
// What a double-click on a mail address does.
enum class MailAddressAction {
    kWrite = 0,
    kAddToAddressBook = 1,
    kSelectAddress = 2,
    kSelectWord = 3,
};

// A stored value as an action; a value out of range selects the address,
// which changes nothing.
WebAddressAction WebAddressActionOf(int stored);
MailAddressAction MailAddressActionOf(int stored);

struct AddressClick {
    std::vector<std::string_view> lines;  // the whole text, lines without line ends
    std::size_t line = 0;                 // the clicked line
    std::size_t pos = 0;                  // the caret the click put in it
    bool selectionActive = false;
    bool inLineNumbers = false;  // the click was in the line-number column
    WebAddressAction webAction = WebAddressAction::kOpen;
    MailAddressAction mailAction = MailAddressAction::kWrite;
};

struct AddressDecision {
    enum class Action { kNone, kClearSelection, kOpenUrl, kWriteTo, kAddToAddressBook, kSelect };
    Action action = Action::kNone;
    // kOpenUrl: the web address; kWriteTo: the To field; kAddToAddressBook:
    // the bare mail address.
    std::string address;
    std::string displayName;  // kAddToAddressBook
    // kAddToAddressBook: the text's distinct "http://" and "https://"
    // addresses, joined with ", ".
    std::string webAddresses;
    std::size_t from = 0;  // kSelect: [from, to) of the clicked line
    std::size_t to = 0;
};

// A double-click. `metrics` measures the display rows (the display name of
// "Add to Address Book" is taken from the row that holds the address); its
// code page, when not given, is the working one.
AddressDecision DecideDoubleClick(const AddressClick& click, const RowMetrics& metrics,
                                  const KinsokuSets& sets);

// A command of the address context menus at the clicked place: it sets the
// action for this one click (any selection is replaced). Other commands
// decide kNone.
AddressDecision DecideAddressMenuCommand(EditorCommand command, AddressClick click,
                                         const RowMetrics& metrics, const KinsokuSets& sets);

// Which menu the view shows at a place, and its commands in order.
enum class AddressMenu { kNone, kWeb, kMail };
AddressMenu AddressMenuAt(std::string_view line, std::size_t pos, const CodePage& codePage);
std::vector<EditorCommand> AddressMenuCommands(AddressMenu menu);

}  // namespace corvina

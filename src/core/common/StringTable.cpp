#include "common/StringTable.h"

#include <unordered_map>

namespace corvina {
namespace {

// One row per id. Each subsystem keeps its rows inside its own block;
// add rows with small edits inside your block.
const StringTableRow kRows[] = {
    // app
    {104, "Windows sockets initialization failed."},
    {130, "Wrong password!"},
    {61450, "This folder is already used by the other user\nIs it OK to continue?"},
    {61451, "This directory cannot be created"},
    {112, "You have new mail. Do you want to read it now?"},
    {57685,
     "Connection is in progress\nIf you select OK, your system may be  unstable\nFor the safe "
     "shutdown, you should click the rotating envelope icon at the upper right of the "
     "window\nAre you sure you want to quit?"},
    {61456, "Unsent messages are in Outbox\nIs it OK to quit?"},
    // end app

    // store
    // folder tree
    {400, "InBox"},
    {401, "OutBox"},
    {402, "Sent"},
    {403, "Draft"},
    {404, "Reminder"},
    {405, "Trash"},
    {57684, "Are you sure to delete this folder\nincluding sub folders and messages?"},
    {61454, "This message is not yours"},
    // end folder tree
    // message list
    {105, "Subject,Sender,Date,Lines"},
    {106, "Subject,Recipient,Date,Lines"},
    {129, "Unread:%5d / Total:%5d"},
    {61452, "Do you want to delete the file?"},
    {61458, "Are you sure you want to delete?"},
    // end message list
    // end store

    // message
    // end message

    // transfer
    {8, "Connecting... (ESC key to abort)"},
    {9, "Connection established"},
    {10, "Connection aborted"},
    {11, "Initializinig dial up network..."},
    {12, "No new mail"},
    {61446, "Mail server initializing failed"},
    {61455, "Authentication or Connection failed!"},
    {61459, "Failed to delete!"},
    {61453, "Are you sure you want to delete\nthe read mail on the server?"},
    {110,
     "Do you want to abort the connection?\n(It may take several minutes for the safe "
     "shutdown)"},
    {26, "All accounts have been checked."},
    {27, "Close"},
    {61460, "Failed to send!"},
    // end transfer

    // filter
    // end filter

    // compose
    // end compose

    // addressbook
    {29, "Name,Mail Address,Comment"},
    {30, "Are you sure you want to delete the selected item"},
    {115, "The nickname already exists"},
    {119, "The mail address already exists\nDo you want to overwrite it?"},
    // end addressbook

    // editor
    // end editor

    // importer
    // end importer
};

const std::unordered_map<int, const char*>& Index() {
    static const std::unordered_map<int, const char*> index = [] {
        std::unordered_map<int, const char*> map;
        for (const StringTableRow& row : kRows) {
            map.emplace(row.id, row.text);  // the first row of an id wins
        }
        return map;
    }();
    return index;
}

}  // namespace

const char* LoadString(int id) {
    const auto& index = Index();
    auto it = index.find(id);
    return it == index.end() ? "" : it->second;
}

const StringTableRow* StringTableRows(int* count) {
    if (count) {
        *count = static_cast<int>(sizeof(kRows) / sizeof(kRows[0]));
    }
    return kRows;
}

}  // namespace corvina

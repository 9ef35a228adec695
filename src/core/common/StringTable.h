#pragma once
// The program's user-visible texts with numeric ids (English).

namespace corvina {

struct StringTableRow {
    int id;
    const char* text;
};

// The text of a string id; "" for an unknown id. Never null.
const char* LoadString(int id);

// Every row, for checks over the whole table.
const StringTableRow* StringTableRows(int* count);

}  // namespace corvina

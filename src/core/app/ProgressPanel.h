#pragma once
// What the status bar's progress panel shows for the transfer counters:
// "%d/%d" (message number of count), "%d bytes" (the message's size) and a
// bar in hundreds of bytes; only while a message of a counted receive is
// under way.

#include <string>

namespace corvina {

struct ProgressView {
    bool shown = false;
    std::string count;  // "3/12"
    std::string size;   // "20480 bytes"
    int range = 0;      // size / 100
    int position = 0;   // received / 100, never beyond the range
    bool operator==(const ProgressView&) const = default;
};

ProgressView ProgressFor(int current, int count, long long size, long long received);

}  // namespace corvina

#include "editor/PasteHistory.h"

namespace corvina {

PasteHistory& PasteHistory::Shared() {
    static PasteHistory history;
    return history;
}

void PasteHistory::Add(std::string_view text) {
    slots_[next_].assign(text);
    used_[next_] = true;
    next_ = (next_ + 1) % kSlots;
}

void PasteHistory::FlushNewest() {
    const std::size_t newest = (next_ + kSlots - 1) % kSlots;
    if (!used_[newest]) {
        return;
    }
    std::string().swap(slots_[newest]);
    used_[newest] = false;
    next_ = newest;
}

std::vector<std::string> PasteHistory::Entries() const {
    std::vector<std::string> entries;
    for (std::size_t i = 1; i <= kSlots; ++i) {
        const std::size_t slot = (next_ + kSlots - i) % kSlots;
        if (used_[slot]) {
            entries.push_back(slots_[slot]);
        }
    }
    return entries;
}

void PasteHistory::Clear() {
    for (std::size_t i = 0; i < kSlots; ++i) {
        std::string().swap(slots_[i]);
        used_[i] = false;
    }
    next_ = 0;
}

BoxBuffer& BoxBuffer::Shared() {
    static BoxBuffer buffer;
    return buffer;
}

}  // namespace corvina

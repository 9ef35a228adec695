#include "editor/LazyDfa.h"

#include <cstring>

namespace corvina {
namespace {

// A full cache is flushed: at most this many states, and at most this
// many bytes of transition table.
constexpr std::size_t kMaxStates = 4096;
constexpr std::size_t kMaxTableBytes = std::size_t{16} << 20;

}  // namespace

LazyDfa::LazyDfa(const RegexProgram& program, std::vector<StateSet> matching, DfaMode mode)
    : program_(program),
      matching_(std::move(matching)),
      mode_(mode),
      symbols_(matching_.size() * 4) {
    offsets_.push_back(0);
}

void LazyDfa::Flush() {
    index_.clear();
    threads_.clear();
    offsets_.assign(1, 0);
    closed_.clear();
    dead_.clear();
    waiting_.clear();
    table_.clear();
    idle_ = -1;
    anchored_ = -1;
}

int LazyDfa::Intern(const Key& key) {
    std::string bytes(key.threads.size() * sizeof(StateSet) + 1, '\0');
    bytes[0] = key.closed ? 1 : 0;
    if (!key.threads.empty()) {
        std::memcpy(bytes.data() + 1, key.threads.data(), key.threads.size() * sizeof(StateSet));
    }
    const auto found = index_.find(bytes);
    if (found != index_.end()) {
        return found->second;
    }
    const int state = static_cast<int>(closed_.size());
    index_.emplace(std::move(bytes), state);
    threads_.insert(threads_.end(), key.threads.begin(), key.threads.end());
    offsets_.push_back(threads_.size());
    closed_.push_back(key.closed ? 1 : 0);
    const bool noThreads = key.threads.empty();
    dead_.push_back(noThreads && (mode_ != DfaMode::kEarliestStart || key.closed) ? 1 : 0);
    StateSet start;
    start.Set(0);
    const bool waiting =
        !key.closed && (noThreads || (key.threads.size() == 1 && key.threads[0] == start));
    waiting_.push_back(waiting ? 1 : 0);
    table_.resize(table_.size() + symbols_, -1);
    return state;
}

LazyDfa::Key LazyDfa::KeyOf(int state) const {
    Key key;
    key.threads.assign(threads_.begin() + static_cast<std::ptrdiff_t>(offsets_[state]),
                       threads_.begin() + static_cast<std::ptrdiff_t>(offsets_[state + 1]));
    key.closed = closed_[static_cast<std::size_t>(state)] != 0;
    return key;
}

int LazyDfa::Idle() {
    if (idle_ < 0) {
        idle_ = Intern(Key{});
    }
    return idle_;
}

int LazyDfa::Anchored() {
    if (anchored_ < 0) {
        Key key;
        key.threads.emplace_back();
        key.threads.back().Set(0);
        anchored_ = Intern(key);
    }
    return anchored_;
}

std::int32_t LazyDfa::Build(int state, int symbol) {
    const Key from = KeyOf(state);
    const int charClass = symbol >> 2;
    const bool anchored = mode_ == DfaMode::kAnchored;
    const bool matchHere = (symbol & (anchored ? kStartBit : kEndBit)) != 0;

    // Which thread matches before this character; in the forward modes it
    // and every thread after it are cut.
    bool accepted = false;
    std::size_t running = from.threads.size();
    for (std::size_t i = 0; i < from.threads.size(); ++i) {
        if (matchHere && from.threads[i].Intersects(program_.accept)) {
            accepted = true;
            if (!anchored) {
                running = i;
            }
            break;
        }
    }

    Key to;
    to.closed = from.closed || (accepted && mode_ == DfaMode::kEarliestStart);
    StateSet start;
    start.Set(0);
    const bool join = !anchored && !to.closed && (symbol & kStartBit) != 0;
    StateSet claimed;
    if (join && mode_ == DfaMode::kLatestStart) {
        to.threads.push_back(start);
        claimed = start;
    }
    for (std::size_t i = 0; i < running; ++i) {
        StateSet next;
        if (charClass == kDroppedClass) {
            next = from.threads[i];
        } else {
            StateSet reachable;
            for (int s = 0; s < program_.StateCount(); ++s) {
                if (from.threads[i].Has(s)) {
                    reachable |= program_.follow[static_cast<std::size_t>(s)];
                }
            }
            next = reachable;
            next &= matching_[static_cast<std::size_t>(charClass)];
        }
        next.Remove(claimed);
        if (!next.Empty()) {
            claimed |= next;
            to.threads.push_back(next);
        }
    }
    if (join && mode_ == DfaMode::kEarliestStart && !claimed.Has(0)) {
        to.threads.push_back(start);
    }

    if (closed_.size() >= kMaxStates || table_.size() * sizeof(std::int32_t) >= kMaxTableBytes) {
        Flush();
        state = Intern(from);
    }
    const int next = Intern(to);
    const std::int32_t entry = next << 1 | (accepted ? 1 : 0);
    table_[static_cast<std::size_t>(state) * symbols_ + static_cast<std::size_t>(symbol)] = entry;
    return entry;
}

}  // namespace corvina

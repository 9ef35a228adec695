#pragma once
// The deterministic automaton of a RegexProgram, built lazily by subset
// construction: a state is made the first time the text leads to it and
// is then cached with its transitions; a full cache is flushed and
// refilled from the state in use, so memory stays bounded whatever the
// pattern and the text.
//
// The input is one symbol per character: its class (the characters the
// same atoms match), whether a match may end before it (kEndBit) and
// whether one may start after it (kStartBit); the driver computes the bits
// from the W, T and E rules, so they are part of the automaton.
//
// To find the leftmost match in one pass, a state is a list of threads in
// priority order, each the set of automaton states reached from one start
// position. A new thread joins at every allowed start; an automaton state
// already held by a thread of higher priority is dropped from the others,
// since the same future makes both match and the higher one wins. When a
// thread accepts, it and all threads of lower priority are cut: the
// threads still running can only be better.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "editor/RegexCompiler.h"

namespace corvina {

enum class DfaMode {
    kEarliestStart,  // new threads join last; after a match none join
    kLatestStart,    // new threads join first
    kAnchored,       // one thread from the start state; nothing is cut
};

class LazyDfa {
public:
    static constexpr int kStartBit = 1;
    static constexpr int kEndBit = 2;
    // Class 0 is the characters the folding drops: reading one changes no
    // thread.
    static constexpr int kDroppedClass = 0;

    // `matching[c]` is the set of automaton states entered by reading a
    // character of class c.
    LazyDfa(const RegexProgram& program, std::vector<StateSet> matching, DfaMode mode);

    static int Symbol(int charClass, bool endAllowed, bool startAllowed) {
        return charClass << 2 | (endAllowed ? kEndBit : 0) | (startAllowed ? kStartBit : 0);
    }

    // The state without threads (before any start).
    int Idle();
    // kAnchored: the state of one thread in the start state.
    int Anchored();

    // The state after `symbol`; *accepted tells whether a thread (of
    // highest priority among those that did) matched just before it: with
    // kEndBit in the forward modes, with kStartBit in kAnchored.
    int Next(int state, int symbol, bool* accepted) {
        const std::int32_t entry = table_[static_cast<std::size_t>(state) * symbols_ + symbol];
        const std::int32_t known = entry >= 0 ? entry : Build(state, symbol);
        *accepted = (known & 1) != 0;
        return known >> 1;
    }

    // No thread runs (and in kEarliestStart none can join any more).
    bool Dead(int state) const { return dead_[static_cast<std::size_t>(state)] != 0; }
    // No thread has read a character yet: only a thread that has just
    // joined, or none.
    bool Waiting(int state) const { return waiting_[static_cast<std::size_t>(state)] != 0; }

private:
    struct Key {
        std::vector<StateSet> threads;
        bool closed = false;
    };

    std::int32_t Build(int state, int symbol);
    int Intern(const Key& key);
    void Flush();
    Key KeyOf(int state) const;

    RegexProgram program_;
    std::vector<StateSet> matching_;
    DfaMode mode_;
    std::size_t symbols_;

    std::unordered_map<std::string, int> index_;
    std::vector<StateSet> threads_;      // all states' threads, one after the other
    std::vector<std::size_t> offsets_;   // state s owns threads_[offsets_[s], offsets_[s+1])
    std::vector<unsigned char> closed_;  // kEarliestStart: a match has been seen
    std::vector<unsigned char> dead_;
    std::vector<unsigned char> waiting_;
    std::vector<std::int32_t> table_;  // (next << 1 | accepted), -1 unknown
    int idle_ = -1;
    int anchored_ = -1;
};

}  // namespace corvina

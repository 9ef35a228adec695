// Reply subjects and the threaded display order, checked against a direct
// rendering of the threading procedure on random folders.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "message/MailMessage.h"
#include "store/ThreadOrder.h"

namespace corvina {
namespace {

using Messages = std::vector<std::unique_ptr<MailMessage>>;

// The procedure step by step over a plain vector: every search scans the
// sequence from the top.
std::vector<ThreadEntry> SlowThreadedOrder(const Messages& messages) {
    std::vector<ThreadEntry> s;
    bool referenceMode = false;
    auto ref = [&](const ThreadEntry& e) -> const std::string& {
        return messages[e.index]->parentReference;
    };
    for (int m = 0; m < static_cast<int>(messages.size()); ++m) {
        const MailMessage& msg = *messages[m];
        if (!msg.parentReference.empty()) {
            referenceMode = true;
            std::size_t p = 0;
            while (p < s.size() && messages[s[p].index]->messageId != msg.parentReference)
                ++p;
            if (p == s.size()) {
                s.push_back({m, 0});
                continue;
            }
            std::size_t last = p;
            while (last + 1 < s.size() && ref(s[last + 1]) == msg.parentReference)
                ++last;
            s.insert(s.begin() + static_cast<long>(last) + 1, {m, s[p].depth + 1});
        } else if (referenceMode || !IsReplySubject(msg.subject)) {
            s.push_back({m, 0});
        } else {
            const std::string_view base = BaseSubject(msg.subject);
            std::size_t k = 0;
            while (k < s.size() && BaseSubject(messages[s[k].index]->subject) != base)
                ++k;
            if (k == s.size()) {
                s.push_back({m, 0});
                continue;
            }
            while (k + 1 < s.size() && BaseSubject(messages[s[k + 1].index]->subject) == base)
                ++k;
            s.insert(s.begin() + static_cast<long>(k) + 1, {m, 1});
        }
    }
    return s;
}

std::unique_ptr<MailMessage> Msg(std::string subject, std::string id = {}, std::string ref = {}) {
    auto m = std::make_unique<MailMessage>();
    m->subject = std::move(subject);
    m->messageId = std::move(id);
    m->parentReference = std::move(ref);
    return m;
}

// A folder where Message-IDs repeat (the same mail received twice), some
// parents are missing, replies reference replies, and a first stretch
// carries no references so that subject threading is exercised.
Messages RandomFolder(std::mt19937& rng, int count) {
    static const char* const kSubjects[] = {"Lunch", "Build broken", "", "Re", "Report"};
    static const char* const kPrefixes[] = {
        "",          "Re: ",   "RE: ",          "re:",      "Re[2]: ",
        "Re^3:Re: ", "Reply ", " [ml:12] Re: ", "[ml:13] ", "Re : "};
    Messages messages;
    const int subjectStretch = static_cast<int>(rng() % (count + 1));
    const int idPool = 1 + count / 2;
    for (int i = 0; i < count; ++i) {
        std::string subject = std::string(kPrefixes[rng() % std::size(kPrefixes)]) +
                              kSubjects[rng() % std::size(kSubjects)];
        std::string id = rng() % 10 == 0 ? "" : "<" + std::to_string(rng() % idPool) + "@x>";
        std::string ref;
        if (i >= subjectStretch && rng() % 3 != 0) {
            ref = "<" + std::to_string(rng() % (idPool + 3)) + "@x>";
        }
        messages.push_back(Msg(std::move(subject), std::move(id), std::move(ref)));
    }
    return messages;
}

TEST(ReplySubject, PrefixesTagsAndWordsThatAreNotPrefixes) {
    struct Case {
        const char* subject;
        const char* base;
        bool reply;
    };
    const Case cases[] = {
        {"Re: Lunch", "Lunch", true},
        {"RE:Lunch", "Lunch", true},
        {"rE:   Lunch", "Lunch", true},
        {"Re[2]: Lunch", "Lunch", true},
        {"Re^3: Lunch", "Lunch", true},
        {"Re: Re[4]: re: Lunch", "Lunch", true},
        {"Re : Lunch", "Lunch", true},
        {"Reply to all", "Reply to all", false},
        {"Regarding: Lunch", "Regarding: Lunch", false},
        {"Re", "Re", false},
        {"Re:", "", true},
        {" [ml:42] Re: Lunch", "Lunch", true},
        {"[ml:42]   Lunch", "Lunch", false},
        {"  [ml] Lunch", " [ml] Lunch", false},  // only one leading blank goes
        {"[unclosed Re: x", "[unclosed Re: x", false},
        {"Lunch Re: later", "Lunch Re: later", false},
    };
    for (const Case& c : cases) {
        bool reply = !c.reply;
        EXPECT_EQ(BaseSubject(c.subject, &reply), c.base) << c.subject;
        EXPECT_EQ(reply, c.reply) << c.subject;
    }
}

TEST(ThreadOrder, NewestFirstAndEmpty) {
    EXPECT_EQ(NewestFirstOrder(3), (std::vector<ThreadEntry>{{2, 0}, {1, 0}, {0, 0}}));
    EXPECT_TRUE(NewestFirstOrder(0).empty());
    EXPECT_TRUE(ThreadedOrder({}).empty());
}

TEST(ThreadOrder, ReplyGoesBelowEarlierDirectRepliesOfItsParent) {
    Messages m;
    m.push_back(Msg("Plan", "<a>"));
    m.push_back(Msg("Other", "<b>"));
    m.push_back(Msg("Re: Plan", "<c>", "<a>"));
    m.push_back(Msg("Re: Re: Plan", "<d>", "<c>"));  // below c
    m.push_back(Msg("Re: Plan", "<e>", "<a>"));      // after c, before d
    m.push_back(Msg("Lost", "<f>", "<missing>"));    // parent absent: appended
    m.push_back(Msg("Re: Other"));                   // reference mode: appended
    const std::vector<ThreadEntry> expected = {{0, 0}, {2, 1}, {4, 1}, {3, 2},
                                               {1, 0}, {5, 0}, {6, 0}};
    EXPECT_EQ(ThreadedOrder(m), expected);
}

TEST(ThreadOrder, SubjectModeUntilTheFirstReference) {
    Messages m;
    m.push_back(Msg("[list] Lunch"));
    m.push_back(Msg("Build"));
    m.push_back(Msg("Re: Lunch"));   // below the first Lunch run
    m.push_back(Msg("Lunch"));       // not a reply: appended
    m.push_back(Msg("Re: Lunch"));   // after the first run again
    m.push_back(Msg("Re: Dinner"));  // no match: appended
    const std::vector<ThreadEntry> expected = {{0, 0}, {2, 1}, {4, 1}, {1, 0}, {3, 0}, {5, 0}};
    EXPECT_EQ(ThreadedOrder(m), expected);
}

TEST(ThreadOrder, FirstCopyOfADuplicateIdIsTheParent) {
    Messages m;
    m.push_back(Msg("Top", "<t>"));
    m.push_back(Msg("Dup", "<d>"));               // second in the list
    m.push_back(Msg("Dup again", "<d>", "<t>"));  // inserted above the first copy
    m.push_back(Msg("Re: Dup", "<r>", "<d>"));    // answers the copy now on top
    const std::vector<ThreadEntry> expected = {{0, 0}, {2, 1}, {3, 2}, {1, 0}};
    EXPECT_EQ(ThreadedOrder(m), expected);
}

TEST(ThreadOrder, MatchesTheProcedureOnRandomFolders) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        const int count = static_cast<int>(rng() % (round < 2500 ? 40 : 400));
        const Messages messages = RandomFolder(rng, count);
        ASSERT_EQ(ThreadedOrder(messages), SlowThreadedOrder(messages)) << "round " << round;
    }
}

TEST(ThreadOrder, ManyRepliesToOneMessageAndDeepChains) {
    // Shapes that make naive scans quadratic: checked for the order here,
    // timed in the benchmark.
    Messages m;
    m.push_back(Msg("Root", "<0>"));
    for (int i = 1; i < 3000; ++i) {
        const std::string ref = i % 2 ? "<0>" : "<" + std::to_string(i - 1) + ">";
        m.push_back(Msg("Re: Root", "<" + std::to_string(i) + ">", ref));
    }
    EXPECT_EQ(ThreadedOrder(m), SlowThreadedOrder(m));
}

}  // namespace
}  // namespace corvina

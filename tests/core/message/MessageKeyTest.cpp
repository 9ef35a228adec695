#include <gtest/gtest.h>

#include <set>

#include "message/MailMessage.h"

namespace corvina {
namespace {

// A key names one message for the life of the program: a copy is another
// message with its own key, and assigning contents never changes a key.
TEST(MessageKey, EveryMessageAndEveryCopyHasItsOwnKey) {
    MailMessage first;
    MailMessage second;
    MailMessage copy(first);
    std::set<std::uint64_t> keys{first.key.Value(), second.key.Value(), copy.key.Value()};
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys.count(0), 0u);

    const std::uint64_t before = second.key.Value();
    second = first;
    EXPECT_EQ(second.key.Value(), before);

    MailMessage moved(std::move(second));
    EXPECT_EQ(moved.key.Value(), before);
}

}  // namespace
}  // namespace corvina

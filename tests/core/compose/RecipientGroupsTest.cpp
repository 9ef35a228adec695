// Group references of outgoing mail are looked up in the address book's
// group files, found as the address book finds them.
#include "compose/RecipientGroups.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace corvina {
namespace {

using Addresses = std::vector<std::string>;

TEST(RecipientGroups, AddressesOfTheNamedGroupFile) {
    test::ScratchDir dir;
    test::WriteFileBytes(
        dir / "My Friends.adr",
        "(friends)\r\nann@x\tAnn\t.\t.\t.\t.\r\n(ignored\r\n.\tno address\r\nben@y\r\n");
    test::WriteFileBytes(dir / "team.adr", "cat@z\tCat\r\n");
    const GroupAddresses groups = AddressBookGroups(dir.Path());
    const struct {
        const char* name;
        Addresses addresses;
    } cases[] = {
        {"My Friends", {"ann@x", "ben@y"}},
        {"MY FRIENDS", {"ann@x", "ben@y"}},
        {"team", {"cat@z"}},
        {"missing", {}},
        {"../team", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(groups(c.name), c.addresses) << c.name;
    }
    EXPECT_EQ(ExpandRecipients("@\"My Friends\", dan@w", groups), "ann@x,ben@y,dan@w");
}

}  // namespace
}  // namespace corvina

#include "compose/RecipientGroups.h"

#include <optional>
#include <utility>

#include "addressbook/AddressGroup.h"

namespace corvina {

GroupAddresses AddressBookGroups(std::filesystem::path addressBookDirectory) {
    return [directory = std::move(addressBookDirectory)](std::string_view groupName) {
        std::optional<std::filesystem::path> file = AddressGroup::FileFor(directory, groupName);
        if (!file) {
            return std::vector<std::string>();
        }
        AddressGroup group(*file);
        if (!group.Load()) {
            return std::vector<std::string>();
        }
        return group.Addresses();
    };
}

}  // namespace corvina

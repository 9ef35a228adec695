#pragma once
// Where the group references of outgoing mail ("@friends" in To, Cc or Bcc)
// are looked up: the address book's group files. Sending and exporting hand
// this to the outgoing assembly, which knows only the field syntax.

#include <filesystem>

#include "message/mime/OutgoingText.h"

namespace corvina {

// The addresses of the group file in `addressBookDirectory` named as the
// user wrote it (found as the address book finds it, without regard to
// case); none for a missing or unreadable group or a name that could leave
// the directory.
GroupAddresses AddressBookGroups(std::filesystem::path addressBookDirectory);

}  // namespace corvina

#pragma once
// Writing a whole buffer to a file descriptor.

#include <string_view>

namespace corvina {

// Writes every byte, retrying after a signal and after a short write.
// False on failure with errno set (ENOSPC when the system wrote nothing).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace corvina

#pragma once
// File names taken from mail, reduced to a safe base name.

#include <string>
#include <string_view>

namespace corvina {

// The last path component of `name` (after any "/" or "\"), with control
// bytes removed, runs of dots reduced to one dot, and leading dots and
// blanks dropped, cut to at most 200 bytes on a character boundary of the
// working code page. An empty result becomes "noname". The result never
// names a directory, a hidden file or anything outside the directory it is
// joined to.
std::string SafeFileName(std::string_view name);

}  // namespace corvina

#pragma once
// Reversible scrambling of the passwords kept in the configuration store
// (LocalPass, Pass, DialupPass, SMTPPass). It keeps a casual reader of the
// file from seeing them; it is not encryption: the file's mode 0600 is what
// protects it.
//
// Format: "~" followed by two upper-case hex digits per byte, where byte i
// is the password byte XOR a fixed 16-byte key XOR (i * 37 mod 256). The
// empty password stays empty. A stored value not in this format (written
// by hand) is taken as the plain password; it is scrambled on the next
// write.

#include <string>
#include <string_view>

namespace corvina {

std::string ScramblePassword(std::string_view plain);
std::string UnscramblePassword(std::string_view stored);

}  // namespace corvina

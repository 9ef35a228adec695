#pragma once
// Parsing of POP3 and SMTP server replies. Every function takes any bytes:
// a malformed reply gives "no value", never a crash or an overlong result.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// POP3: a reply is negative when it starts with '-'.
inline bool PopNegative(std::string_view reply) {
    return !reply.empty() && reply[0] == '-';
}
// POP3: only "+OK" (any case) is positive; anything else, a "-ERR" or the
// reply of some other kind of server ("220 ...", "500 ..."), is not.
bool PopPositive(std::string_view reply);

// "+OK 3 1200": the message count (second token); nullopt when missing or
// not a number.
std::optional<long long> ParseStatCount(std::string_view reply);

struct StatReply {
    long long count = 0;
    long long size = 0;
};
// "+OK <count> <size>": both decimal numbers of at most 18 digits, or
// nullopt (a negative, non-numeric or missing value is unreadable).
std::optional<StatReply> ParseStat(std::string_view reply);

struct ListEntry {
    int number = 0;
    long long size = 0;
};
// One line of a LIST listing: "<number> <size>". nullopt when the number is
// not a positive decimal or the size not a decimal of at most 18 digits.
std::optional<ListEntry> ParseListLine(std::string_view line);

// One line of a UIDL listing: "<number> <uid>". The uid is the rest after
// the first blank, up to CR/LF. nullopt for an empty or blank-only line.
std::optional<std::string> ParseUidlLine(std::string_view line);

// A header line of a TOP/RETR listing that starts with `name` (given with
// its colon, compared without regard to case): the rest with leading blanks
// removed. nullopt for other lines.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name);

// The first field `name` (given with its colon, any case) of a header
// already unfolded into one line per field (LF or CR LF ends; the first
// empty line ends the header): its value with blanks trimmed at both ends,
// cut at `max` bytes. nullopt when the header has no such field. The
// received-before check, the bookkeeping of received mail and the clean-up
// all read Message-ID and Status this one way, so that they agree.
std::optional<std::string> UnfoldedField(std::string_view header, std::string_view name,
                                         size_t max);

// SMTP: the reply code of a line ("250-...", "354 ..."), or -1.
int SmtpCode(std::string_view line);
// True when the line continues a multi-line reply ("250-...").
bool SmtpContinues(std::string_view line);
// The EHLO keyword of one reply line, upper-case ("250-AUTH PLAIN LOGIN"
// gives "AUTH PLAIN LOGIN"); empty for the first line or a malformed one.
std::string SmtpCapabilityLine(std::string_view line);
// Whether the capability list names the keyword (first word) `keyword`.
bool HasCapability(const std::vector<std::string>& capabilities, std::string_view keyword);
// Whether the AUTH capability offers `mechanism`.
bool OffersAuth(const std::vector<std::string>& capabilities, std::string_view mechanism);

}  // namespace corvina

#pragma once
// The ten account profiles kept in the sections "Users\0" to "Users\9" of the
// configuration store, described by one slot table (name, type, default,
// member) so that loading, defaults and write-back cannot drift apart.

#include <array>
#include <cstddef>
#include <span>
#include <string>

namespace corvina {

class ConfigStore;

inline constexpr int kProfileCount = 10;

// Values of AccountProfile::pop3Security.
inline constexpr int kPop3SecurityNone = 0;
inline constexpr int kPop3SecurityStls = 1;      // STLS before USER
inline constexpr int kPop3SecurityImplicit = 2;  // TLS from the start (port 995)
// Values of AccountProfile::smtpSecurity.
inline constexpr int kSmtpSecurityNone = 0;
inline constexpr int kSmtpSecurityStartTls = 1;
inline constexpr int kSmtpSecurityImplicit = 2;  // TLS from the start (port 465)
// Values of AccountProfile::smtpAuth.
inline constexpr int kSmtpAuthNone = 0;
inline constexpr int kSmtpAuthAccount = 1;  // the POP user and password
inline constexpr int kSmtpAuthOwn = 2;      // smtpUser / smtpPass

// Values of AccountProfile::dialupMode: where the dial-up credentials come from.
inline constexpr int kDialupFromNetwork = 0;
inline constexpr int kDialupSameAsPop = 1;
inline constexpr int kDialupOwn = 2;

// One account. Passwords are held in plain form here; they are scrambled only
// in the configuration store.
struct AccountProfile {
    std::string account;  // "Account": caption, tree root label, menu text
    std::string user;     // "User": POP user ID
    std::string pass;     // "Pass"
    std::string pop;      // "POP": empty = profile not configured
    std::string smtp;     // "SMTP"
    std::string address;  // "Address"
    std::string name;     // "Name": full name
    int smtpPort = 25;
    int pop3Port = 110;
    int mailDirNo = 0;  // default: the profile's own index
    int signature = 0;
    int hasUnread = 0;  // read at start, never written by the client
    int deleteOnServer = 1;
    int autoDisconnect = 1;
    int dialup = 0;  // 0 = LAN
    std::string dialupEntry;
    int dialupMode = kDialupFromNetwork;
    std::string dialupUser;
    std::string dialupPass;
    std::string permanentCc;
    std::string permanentBcc;
    std::string newTemplate;
    std::string repTemplate;
    std::string fwdTemplate;
    std::string addrGroup;
    int noCheckAll = 0;

    // Secure transport; the defaults keep plain POP3 and SMTP without AUTH.
    int pop3Security = kPop3SecurityNone;
    int smtpSecurity = kSmtpSecurityNone;
    int smtpAuth = kSmtpAuthNone;
    std::string smtpUser;
    std::string smtpPass;
    std::string certFingerprint;  // pinned SHA-256 (hex); empty = verify normally

    bool IsConfigured() const { return !pop.empty(); }
    // The name the user sees: the Account setting, or "MailBox 01" ...
    // "MailBox 10" by the profile's index when it has none.
    std::string DisplayName(int index) const;

    bool operator==(const AccountProfile&) const = default;
};

enum class SlotType { kInt, kString, kScrambled };

// One value of a profile section. Exactly one of intField / stringField is set.
struct ProfileSlot {
    const char* name;
    SlotType type;
    int AccountProfile::*intField;
    std::string AccountProfile::*stringField;
    int intDefault;  // for MailDirNo the default is the profile's index instead
};

// The 26 classic slots in their fixed order, followed by the secure-transport
// values.
std::span<const ProfileSlot> ProfileSlots();
inline constexpr std::size_t kClassicSlotCount = 26;

// "Users\%d"
std::string ProfileSection(int index);

// A profile holding every default for the given index.
AccountProfile DefaultProfile(int index);

// Reads one profile section; missing values give their defaults and
// scrambled values come back in plain form.
AccountProfile LoadProfile(const ConfigStore& store, int index);

using ProfileTable = std::array<AccountProfile, kProfileCount>;
ProfileTable LoadProfiles(const ConfigStore& store);

// Writes every slot of `edited` that differs from `inMemory` (by the rules of
// WriteIfChanged) and updates `inMemory`. HasUnread is never written. Returns
// the number of values written.
int WriteProfileIfChanged(ConfigStore& store, int index, AccountProfile& inMemory,
                          const AccountProfile& edited);

}  // namespace corvina

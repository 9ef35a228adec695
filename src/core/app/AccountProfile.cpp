#include "app/AccountProfile.h"

#include <cstdio>

#include "app/PasswordScrambler.h"
#include "app/WriteIfChanged.h"
#include "platform/ConfigStore.h"

namespace corvina {

namespace {

using P = AccountProfile;

constexpr ProfileSlot Int(const char* name, int P::*field, int def) {
    return {name, SlotType::kInt, field, nullptr, def};
}
constexpr ProfileSlot Str(const char* name, std::string P::*field) {
    return {name, SlotType::kString, nullptr, field, 0};
}
constexpr ProfileSlot Pwd(const char* name, std::string P::*field) {
    return {name, SlotType::kScrambled, nullptr, field, 0};
}

// The order is part of the file's contract: the 26 classic slots first.
constexpr ProfileSlot kSlots[] = {
    Str("Account", &P::account),
    Str("User", &P::user),
    Pwd("Pass", &P::pass),
    Str("POP", &P::pop),
    Str("SMTP", &P::smtp),
    Str("Address", &P::address),
    Str("Name", &P::name),
    Int("SMTPPort", &P::smtpPort, 25),
    Int("POP3Port", &P::pop3Port, 110),
    Int("MailDirNo", &P::mailDirNo, 0),
    Int("Signature", &P::signature, 0),
    Int("HasUnread", &P::hasUnread, 0),
    Int("DeleteOnServer", &P::deleteOnServer, 1),
    Int("AutoDisconnect", &P::autoDisconnect, 1),
    Int("Dialup", &P::dialup, 0),
    Str("DialupEntry", &P::dialupEntry),
    Int("DialupMode", &P::dialupMode, kDialupFromNetwork),
    Str("DialupUser", &P::dialupUser),
    Pwd("DialupPass", &P::dialupPass),
    Str("PermanentCc", &P::permanentCc),
    Str("PermanentBcc", &P::permanentBcc),
    Str("NewTemplate", &P::newTemplate),
    Str("RepTemplate", &P::repTemplate),
    Str("FwdTemplate", &P::fwdTemplate),
    Str("AddrGroup", &P::addrGroup),
    Int("NoCheckAll", &P::noCheckAll, 0),
    // Secure transport.
    Int("POP3Security", &P::pop3Security, kPop3SecurityNone),
    Int("SMTPSecurity", &P::smtpSecurity, kSmtpSecurityNone),
    Int("SMTPAuth", &P::smtpAuth, kSmtpAuthNone),
    Str("SMTPUser", &P::smtpUser),
    Pwd("SMTPPass", &P::smtpPass),
    Str("CertFingerprint", &P::certFingerprint),
};

static_assert(std::size(kSlots) >= kClassicSlotCount);

bool IsMailDirNo(const ProfileSlot& slot) {
    return slot.intField == &P::mailDirNo;
}
bool IsHasUnread(const ProfileSlot& slot) {
    return slot.intField == &P::hasUnread;
}

}  // namespace

std::span<const ProfileSlot> ProfileSlots() {
    return kSlots;
}

std::string AccountProfile::DisplayName(int index) const {
    if (!account.empty())
        return account;
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "MailBox %02d", index + 1);
    return fallback;
}

std::string ProfileSection(int index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Users\\%d", index);
    return buf;
}

AccountProfile DefaultProfile(int index) {
    AccountProfile profile;
    for (const ProfileSlot& slot : kSlots) {
        if (slot.type == SlotType::kInt) {
            profile.*slot.intField = IsMailDirNo(slot) ? index : slot.intDefault;
        }
    }
    return profile;
}

AccountProfile LoadProfile(const ConfigStore& store, int index) {
    const std::string section = ProfileSection(index);
    AccountProfile profile = DefaultProfile(index);
    for (const ProfileSlot& slot : kSlots) {
        switch (slot.type) {
            case SlotType::kInt:
                profile.*slot.intField = store.GetInt(section, slot.name, profile.*slot.intField);
                break;
            case SlotType::kString:
                profile.*slot.stringField = store.GetString(section, slot.name);
                break;
            case SlotType::kScrambled:
                profile.*slot.stringField = UnscramblePassword(store.GetString(section, slot.name));
                break;
        }
    }
    return profile;
}

ProfileTable LoadProfiles(const ConfigStore& store) {
    ProfileTable table;
    for (int i = 0; i < kProfileCount; ++i)
        table[i] = LoadProfile(store, i);
    return table;
}

int WriteProfileIfChanged(ConfigStore& store, int index, AccountProfile& inMemory,
                          const AccountProfile& edited) {
    const std::string section = ProfileSection(index);
    int written = 0;
    for (const ProfileSlot& slot : kSlots) {
        bool wrote = false;
        switch (slot.type) {
            case SlotType::kInt:
                // The client only reads HasUnread; keep whatever is stored.
                if (IsHasUnread(slot))
                    break;
                wrote = WriteIfChanged(store, section, slot.name, inMemory.*slot.intField,
                                       edited.*slot.intField);
                break;
            case SlotType::kString:
                wrote = WriteIfChanged(store, section, slot.name, inMemory.*slot.stringField,
                                       edited.*slot.stringField);
                break;
            case SlotType::kScrambled:
                wrote =
                    WritePasswordIfChanged(store, section, slot.name, inMemory.*slot.stringField,
                                           edited.*slot.stringField);
                break;
        }
        if (wrote)
            ++written;
    }
    return written;
}

}  // namespace corvina

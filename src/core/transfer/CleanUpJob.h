#pragma once
// Clean up Server: deletes on the server the messages already received
// (known by UIDL.DAT, or by MsgId.DAT when the server has no UIDL), then
// forgets the lists that named them.

namespace corvina {

class MailSession;

class CleanUpJob {
public:
    explicit CleanUpJob(MailSession& session) : session_(session) {}

    // False when another transfer runs, or the link, the login or a
    // deletion failed (the lists then stay as they were).
    bool Run();

private:
    MailSession& session_;
};

}  // namespace corvina

#pragma once
// The remote mailbox: the server's messages as a list the dialog shows,
// with a mark per row that the user sets, and the run that carries the
// marks out. The dialog only draws the rows and sets marks.

#include <memory>
#include <string>
#include <vector>

namespace corvina {

class DialUpScope;
class MailSession;
class ReceiveJob;

// Marks of a row.
inline constexpr char kMarkView = 'V';    // retrieve, keep on the server
inline constexpr char kMarkLoad = 'L';    // retrieve, then delete on the server
inline constexpr char kMarkDelete = 'D';  // delete without retrieving

struct RemoteRow {
    int number = 0;       // message number on the server
    std::string subject;  // "(non-title)" when empty
    std::string sender;
    std::string date;
    std::string size;  // "%d" of the listed size
    std::string uid;   // empty without UIDL
    std::string messageId;
    bool received = false;  // already received (by UIDL.DAT or MsgId.DAT)
    char mark = 0;
};

class RemoteMailbox {
public:
    explicit RemoteMailbox(MailSession& session);
    ~RemoteMailbox();

    // The listing (button 130): brings the account's dial-up link up and
    // keeps it until Execute() or Close(); with deliverOnReceive the OutBox
    // is sent first. Logs in and keeps the connection for Execute(). False
    // when the link, the login or a command failed (the rows read so far
    // stay).
    bool List(bool deliverOnReceive);
    std::vector<RemoteRow>& Rows() { return rows_; }

    // The dialog's OK: carries out the marks in list order; a failed
    // command ends the run. "MsgId.DAT" and "UIDL.DAT" are rewritten to
    // name exactly the rows marked V or already received, unless the run
    // failed; without UIDL (the server refused it) "UIDL.DAT" stays as it
    // was. Returns the number of messages stored, -1 on failure.
    int Execute();
    // The dialog's Cancel: ends the connection and the link.
    void Close();

private:
    MailSession& session_;
    // Retrieval and hand-over as a receive does them, with the filters
    // read once for the whole dialog.
    std::unique_ptr<ReceiveJob> receive_;
    std::vector<RemoteRow> rows_;
    std::unique_ptr<DialUpScope> link_;
};

}  // namespace corvina

#pragma once
// The POP3 client: login (USER/PASS, with STLS first when asked), the
// maildrop listing, unique ids, TOP headers, retrieval and deletion. It
// knows nothing of folders or of what was received before: a job decides
// what to fetch and what becomes of it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/ProtocolClient.h"

namespace corvina {

class Pop3Client : public ProtocolClient {
public:
    enum class State {
        kClosed,         // no connection
        kAuthorization,  // greeted, not logged in
        kTransaction,    // logged in: listing, retrieval, deletion
    };

    // Entries of a LIST or UIDL listing, and the bytes of a TOP header.
    static constexpr size_t kListingMaxEntries = 1000000;
    static constexpr long long kHeaderCap = 4ll << 20;

    explicit Pop3Client(ClientReport& report) : ProtocolClient(report) {}

    State CurrentState() const { return IsOpen() ? phase_ : State::kClosed; }

    // Connects and logs in; with `stls` the session is protected by STLS
    // before the user name goes out, and a server without STLS gets no
    // password. False when the connection, the security step or the login
    // failed.
    bool Login(const ServerEndpoint& endpoint, bool stls, const Credentials& credentials);
    // QUIT (which makes the deletions take effect), then the connection
    // closes.
    void Quit();
    // Ends the session politely when it is still open.
    void End();
    void Disconnect() override;

    // Size of the next message of the listing; 0 when there is none or on
    // error. With `summary`/`messageId` given, the header of that message
    // is fetched by TOP: summary = "%d %s %s" (number, from, subject).
    long long NextMessage(std::string* summary = nullptr, std::string* messageId = nullptr);
    // Whether the last NextMessage that returned 0 did so because STAT,
    // LIST or TOP failed (rather than because the listing was done).
    bool ListFailed() const { return listError_; }
    // Number of the message the last NextMessage returned the size of.
    int CurrentListNumber() const { return currentNumber_; }
    // The listed size of message n; -1 when it is not listed.
    long long ListedSize(int n) const;

    // -1 not connected, 0 error, 1 done (UidMode tells whether UIDL works;
    // a server that refused it leaves UidMode false).
    int FetchUidl();
    bool UidMode() const { return uidMode_; }
    std::vector<std::string>& ServerUids() { return serverUids_; }

    enum class MultiLine { kDone, kBroken, kOverCap, kStopped };
    // Reads the body of a multi-line reply (after its "+OK" line), the one
    // way every listing and message text is read: it ends only at a line
    // that is exactly ".", and a line the server began with a stuffing "."
    // reaches `onLine` without it. More than `maxLines` lines or `maxBytes`
    // bytes as sent (0: no byte cap) give kOverCap with the connection
    // closed; `onLine` returning false gives kStopped with the connection
    // closed (the rest of the reply is never read). Quiet: no line goes to
    // the status or the transcript.
    MultiLine ReadMultiLine(const std::function<bool(std::string_view)>& onLine, size_t maxLines,
                            long long maxBytes);
    // Sends "TOP n 0" and hands each line of the header to `onLine`; false
    // when the command was refused or the reply broke off or passed the
    // header cap (the session then ends with that error).
    bool ReadTopHeader(int n, const std::function<bool(std::string_view)>& onLine);
    // The header of message n by "TOP n 0", unfolded and decoded as a
    // retrieved message's header is (ReceivedTextUnfolder), LF line ends.
    std::optional<std::string> ReadTopUnfolded(int n);
    // The header of message n by "TOP n 0", lines joined with CR LF.
    std::optional<std::string> FetchHeader(int n);

    // RETR n into `text`: header unfolded and decoded, LF line ends, lines
    // beginning with "." stuffed with one more (the form the parser and the
    // backup log read), without the terminating "." line. More than
    // `maxBytes` (0: no cap) ends the session. Returns the length, -1 on
    // error (the text is then empty).
    long long Retrieve(int n, std::string& text, long long maxBytes);
    bool Delete(int n);

private:
    // The reply to a login command that was `sent`: a refusal ends the
    // session politely, with `refusal` (or else the server's words) as the
    // error.
    bool LoginStep(bool sent, std::string_view refusal = {});
    bool CommandOk(const char* command);
    bool ReplyOk(const char* what);
    bool ReadListing();
    long long ReadMessageText(int n, std::string& text, long long cap);

    State phase_ = State::kClosed;

    // The LIST of the current connection.
    bool listLoaded_ = false;
    bool listError_ = false;
    std::vector<int> listNumbers_;
    std::vector<long long> listSizes_;
    size_t listCursor_ = 0;
    int currentNumber_ = 0;

    bool uidMode_ = false;
    std::vector<std::string> serverUids_;
};

}  // namespace corvina

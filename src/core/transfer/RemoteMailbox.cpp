#include "transfer/RemoteMailbox.h"

#include <algorithm>
#include <cstdio>

#include "common/CodePage.h"
#include "message/MailMessage.h"
#include "message/mime/MailMessageCode.h"
#include "message/mime/MessageParser.h"
#include "transfer/DeliverJob.h"
#include "transfer/DialUp.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
#include "transfer/ReplyParser.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

std::string Trimmed(std::string text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

RemoteMailbox::RemoteMailbox(MailSession& session)
    : session_(session), receive_(std::make_unique<ReceiveJob>(session)) {}

RemoteMailbox::~RemoteMailbox() {
    Close();
}

bool RemoteMailbox::List(bool deliverOnReceive) {
    rows_.clear();
    if (!link_) {
        link_ =
            std::make_unique<DialUpScope>(session_.LinkService(), session_.Account(),
                                          session_.Settings().skipError != 0, session_.LinkHost());
    }
    if (!link_->Up()) {
        link_.reset();
        session_.ReportLinkDown();
        return false;
    }
    if (deliverOnReceive) {
        NestedBusy nested(session_.State());
        DeliverJob(session_).Run();
    }
    if (!session_.Prepare(false)) {
        return false;
    }
    if (!session_.LoginPop(session_.PopCredentials())) {
        session_.ReportError(kStrAuthFailed, session_.LastError());
        return false;
    }
    Pop3Client& pop = session_.Pop();
    if (pop.FetchUidl() == 0) {
        pop.End();
        return false;
    }
    const std::vector<std::string> savedUids =
        pop.UidMode() ? ReadListFile(session_.MailboxDirectory() / kUidlFile)
                      : std::vector<std::string>();
    receive_->SeenMessageIds().clear();
    receive_->SavedMessageIds() = ReadListFile(session_.MailboxDirectory() / kMessageIdFile);
    const std::vector<std::string>& uids = pop.ServerUids();
    size_t index = 0;
    while (long long size = pop.NextMessage()) {
        int number = pop.CurrentListNumber();
        // Read as a receive reads it, so that the Message-ID matches the
        // one recorded when the message was received.
        std::optional<std::string> header = pop.ReadTopUnfolded(number);
        if (!header) {
            return false;
        }
        if (!header->ends_with("\n\n")) {
            *header += "\n";
        }
        MailMessage message;
        ParseOptions options;
        options.mailboxDirectory = session_.MailboxDirectory();
        const ParseResult parsed = ParseMessage(message, *header, options);
        if (session_.Settings().eucReceive && !parsed.charsetDeclared) {
            ConvertMailMessageCode(message, CodeDirection::EucToSjis, false, CodePage::Working());
        }
        RemoteRow row;
        row.number = number;
        row.subject = Trimmed(message.subject);
        if (row.subject.empty()) {
            row.subject = "(non-title)";
        }
        row.sender = message.from;
        row.date = message.date;
        row.size = std::to_string(size);
        row.messageId =
            UnfoldedField(*header, "Message-Id:", ProtocolClient::kLineMax).value_or("");
        if (index < uids.size()) {
            row.uid = uids[index];
        }
        row.received = pop.UidMode() ? (!row.uid.empty() && Contains(savedUids, row.uid))
                                     : (!row.messageId.empty() &&
                                        Contains(receive_->SavedMessageIds(), row.messageId));
        rows_.push_back(std::move(row));
        ++index;
    }
    char status[64];
    std::snprintf(status, sizeof status, "%d messages are retrieved.",
                  static_cast<int>(rows_.size()));
    session_.Host().ShowStatus(status);
    return !session_.State().broken;
}

int RemoteMailbox::Execute() {
    TransferState& state = session_.State();
    std::vector<std::string> savedIds;
    std::vector<std::string> savedUids;
    Pop3Client& pop = session_.Pop();
    bool failed = !pop.IsOpen();
    int stored = 0;
    std::string text;
    for (size_t i = 0; i < rows_.size() && !failed; ++i) {
        const RemoteRow& row = rows_[i];
        if (row.mark == kMarkView || row.mark == kMarkLoad) {
            bool oldAll = state.receiveAll.exchange(true);
            long long got = receive_->Retrieve(row.number, text, false);
            state.receiveAll = oldAll;
            if (got <= 0) {
                failed = true;
                break;
            }
            std::string folder;
            std::optional<MessageRef> message = receive_->HandOver(std::move(text), {}, folder);
            if (!message) {
                failed = true;
                break;
            }
            if (++stored == 1 && !state.reminderDue) {
                session_.Host().FirstNewMessage(*message);
            }
        }
        if (row.mark == kMarkLoad || row.mark == kMarkDelete) {
            if (!pop.Delete(row.number)) {
                failed = true;
                break;
            }
        }
        if (row.mark == kMarkView || row.received) {
            if (!row.messageId.empty()) {
                savedIds.push_back(row.messageId);
            }
            if (pop.UidMode() && !row.uid.empty()) {
                savedUids.push_back(row.uid);
            }
        }
    }
    // As in Receive: deletions take effect with QUIT, which goes out only
    // once every stored message is durable.
    if (failed || (stored > 0 && !session_.Host().SyncStore())) {
        failed = true;
        pop.Disconnect();
    } else {
        pop.End();
    }
    if (stored > 0) {
        session_.Host().ReceiveStored();
    }
    if (!failed) {
        WriteListFile(session_.MailboxDirectory() / kMessageIdFile, savedIds);
        // Without UIDL no row has a unique id: the list of a server that
        // answers UIDL again next time is kept, or every message would be
        // fetched again.
        if (pop.UidMode()) {
            WriteListFile(session_.MailboxDirectory() / kUidlFile, savedUids);
        }
    }
    state.ZeroProgress();
    link_.reset();
    return failed ? -1 : stored;
}

void RemoteMailbox::Close() {
    session_.Pop().End();
    link_.reset();
}

}  // namespace corvina

#include "transfer/CleanUpJob.h"

#include <algorithm>

#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

bool CleanUpJob::Run() {
    TransferState& state = session_.State();
    Pop3Client& pop = session_.Pop();
    const std::filesystem::path& dir = session_.MailboxDirectory();
    JobScope job(session_);
    if (!job.LinkUp() || !session_.Prepare(false)) {
        return false;
    }
    // Messages a killed receive stored are cleaned up too.
    ReceiveJournal::Fold(dir);
    const std::vector<std::string> savedMessageIds = ReadListFile(dir / kMessageIdFile);
    if (!session_.LoginPop(session_.PopCredentials())) {
        session_.ReportError(kStrAuthFailed, session_.LastError());
        return false;
    }
    const int uidl = pop.FetchUidl();
    bool failed = uidl == 0;
    if (!failed && pop.UidMode()) {
        const std::vector<std::string> savedUids = ReadListFile(dir / kUidlFile);
        const std::vector<std::string>& serverUids = pop.ServerUids();
        for (size_t i = 0; i < serverUids.size(); ++i) {
            if (pop.NextMessage() == 0) {
                break;
            }
            if (Contains(savedUids, serverUids[i]) && !pop.Delete(pop.CurrentListNumber())) {
                failed = true;
                break;
            }
        }
    } else if (!failed) {
        std::string summary;
        std::string messageId;
        for (;;) {
            messageId.clear();
            if (pop.NextMessage(&summary, &messageId) == 0) {
                break;
            }
            if (!messageId.empty() && Contains(savedMessageIds, messageId) &&
                !pop.Delete(pop.CurrentListNumber())) {
                failed = true;
                break;
            }
        }
    }
    if (failed || state.broken || state.abort.IsRaised()) {
        session_.ReportError(kStrDeleteFailed, session_.LastError());
        pop.End();
        return false;
    }
    pop.End();
    std::error_code ec;
    std::filesystem::remove(dir / kMessageIdFile, ec);
    // Without UIDL only messages known by their Message-ID went; those
    // known by their unique id alone are still on the server, and the list
    // keeps them from being fetched again.
    if (pop.UidMode()) {
        std::filesystem::remove(dir / kUidlFile, ec);
    }
    return true;
}

}  // namespace corvina

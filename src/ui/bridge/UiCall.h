#pragma once
// Runs a call on the thread of `anchor` (the UI thread) and returns its
// result: directly when the caller is already there, else as a blocking
// queued call, so the mail thread waits while the UI thread does what only
// it may do (write folder files, ask the user).

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>
#include <utility>

namespace corvina {

template <typename Call>
auto CallOnUi(QObject* anchor, Call&& call) -> std::invoke_result_t<Call&> {
    using Result = std::invoke_result_t<Call&>;
    if (QThread::currentThread() == anchor->thread()) {
        return call();
    }
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(anchor, std::forward<Call>(call), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            anchor, [&result, &call] { result = call(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// A posted call: runs later on the thread of `anchor`; the caller goes on.
template <typename Call>
void PostToUi(QObject* anchor, Call&& call) {
    QMetaObject::invokeMethod(anchor, std::forward<Call>(call), Qt::QueuedConnection);
}

}  // namespace corvina

#pragma once
// Whether the user pressed Escape during a long search. The search runs
// on the user-interface thread, so Escape is still waiting in the event
// queue: Poll() lets the queue run once, with every key and mouse event
// swallowed so that nothing reaches the view being searched, and notes an
// Escape press. A press counts until the event loop next waits for input,
// that is until the search has returned.

#include <QObject>

namespace corvina {

class EscapeWatch : public QObject {
public:
    EscapeWatch();

    bool Poll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pressed_ = false;
    bool polling_ = false;
};

}  // namespace corvina

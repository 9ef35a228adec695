#pragma once
// The notification-area icon: its picture follows the new-mail state
// (app/NewMailState.h), blinking once a second while new mail waits; a
// left click asks to restore the window, the right button shows the tray
// menu. Notifications go through it when the window is hidden.

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/NewMailState.h"

class QMenu;

namespace corvina {

class TrayIcon : public QObject {
    Q_OBJECT

public:
    // `menu` is the tray menu; the caller keeps it alive.
    TrayIcon(QMenu* menu, QObject* parent = nullptr);
    ~TrayIcon() override;

    const NewMailState& State() const { return state_; }
    bool BlinkTimerActive() const { return blink_.isActive(); }
    QString Tip() const { return icon_.toolTip(); }
    void SetTip(const QString& tip) { icon_.setToolTip(tip); }

    // The events of the new-mail state.
    void CommandStarted();
    void IndicatorFrame(int frame);
    void CommandFinished();
    void MailWaiting();
    void Seen();
    void BlinkTick();

    // A desktop notification (when the window is hidden).
    void Notify(const QString& title, const QString& text);

signals:
    void RestoreRequested();

private:
    void Refresh();

    QSystemTrayIcon icon_;
    // The indicator changes the picture every 300 ms: each is loaded once.
    QIcon pictures_[kTrayPictureCount];
    QTimer blink_;
    NewMailState state_;
};

}  // namespace corvina

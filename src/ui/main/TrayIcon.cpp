#include "ui/main/TrayIcon.h"

#include <QMenu>

#include "ui/main/FrameIcons.h"

namespace corvina {

TrayIcon::TrayIcon(QMenu* menu, QObject* parent) : QObject(parent) {
    for (int i = 0; i < kTrayPictureCount; ++i)
        pictures_[i] = TrayIconFor(static_cast<TrayPicture>(i));
    icon_.setContextMenu(menu);
    icon_.setIcon(pictures_[0]);
    blink_.setInterval(1000);
    connect(&blink_, &QTimer::timeout, this, &TrayIcon::BlinkTick);
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit RestoreRequested();
            });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        icon_.show();
}

TrayIcon::~TrayIcon() {
    icon_.hide();
}

void TrayIcon::CommandStarted() {
    state_.CommandStarted();
    Refresh();
}

void TrayIcon::IndicatorFrame(int frame) {
    state_.IndicatorFrame(frame);
    Refresh();
}

void TrayIcon::CommandFinished() {
    state_.CommandFinished();
    Refresh();
}

void TrayIcon::MailWaiting() {
    state_.MailWaiting();
    Refresh();
}

void TrayIcon::Seen() {
    state_.Seen();
    Refresh();
}

void TrayIcon::BlinkTick() {
    state_.BlinkTick();
    Refresh();
}

void TrayIcon::Notify(const QString& title, const QString& text) {
    icon_.showMessage(title, text, QSystemTrayIcon::Information);
}

void TrayIcon::Refresh() {
    icon_.setIcon(pictures_[static_cast<int>(state_.Picture())]);
    if (state_.Blinking() && !blink_.isActive())
        blink_.start();
    else if (!state_.Blinking())
        blink_.stop();
}

}  // namespace corvina

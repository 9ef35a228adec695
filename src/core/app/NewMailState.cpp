#include "app/NewMailState.h"

namespace corvina {

void NewMailState::CommandStarted() {
    if (state_ == kNewMail)
        return;
    state_ = kConnection;
    picture_ = TrayPicture::kConnection1;
}

void NewMailState::IndicatorFrame(int frame) {
    if (state_ == kNewMail)
        return;
    state_ = kConnection;
    picture_ = frame >= 3 ? TrayPicture::kConnection2 : TrayPicture::kConnection1;
}

void NewMailState::CommandFinished() {
    if (state_ != kConnection)
        return;
    state_ = kNormal;
    picture_ = TrayPicture::kNormal;
}

void NewMailState::MailWaiting() {
    if (state_ == kNewMail)
        return;
    state_ = kNewMail;
    picture_ = TrayPicture::kNewMail1;
}

void NewMailState::BlinkTick() {
    if (state_ != kNewMail)
        return;
    picture_ = picture_ == TrayPicture::kNewMail1 ? TrayPicture::kNewMail2 : TrayPicture::kNewMail1;
}

void NewMailState::Seen() {
    if (state_ != kNewMail)
        return;
    state_ = kNormal;
    picture_ = TrayPicture::kNormal;
}

int IndicatorFrames::Step() {
    if (frame_ + direction_ < 0 || frame_ + direction_ > kLastFrame)
        direction_ = -direction_;
    frame_ += direction_;
    return frame_;
}

}  // namespace corvina

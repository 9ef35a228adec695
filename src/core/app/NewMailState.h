#pragma once
// The new-mail state of the main window and the tray icon it shows:
// 0 normal, 1 new mail waiting (the icon blinks), 2 a connection runs (the
// icon follows the connection indicator's frame). Also the indicator's
// animation: frames 0 to 6 and back, one step per tick.

namespace corvina {

enum class TrayPicture { kNormal, kNewMail1, kNewMail2, kConnection1, kConnection2 };
inline constexpr int kTrayPictureCount = 5;

class NewMailState {
public:
    enum State { kNormal = 0, kNewMail = 1, kConnection = 2 };

    State Current() const { return state_; }
    TrayPicture Picture() const { return picture_; }
    // The one-second blink timer runs exactly while new mail waits.
    bool Blinking() const { return state_ == kNewMail; }

    // A command started: the connection state, unless new mail waits.
    void CommandStarted();
    // The indicator stepped to `frame` (0..6).
    void IndicatorFrame(int frame);
    // The command ended: back to normal from the connection state.
    void CommandFinished();
    // A receive stored mail while the window was inactive or minimised.
    void MailWaiting();
    // One tick of the blink timer: the two new-mail pictures alternate.
    void BlinkTick();
    // The window was activated or restored: the user has seen it.
    void Seen();

private:
    State state_ = kNormal;
    TrayPicture picture_ = TrayPicture::kNormal;
};

// The connection indicator's animation frame: 0, 1, ... 6, 5, ... 0, 1 ...
class IndicatorFrames {
public:
    static constexpr int kLastFrame = 6;
    int Frame() const { return frame_; }
    int Step();
    void Reset() {
        frame_ = 0;
        direction_ = 1;
    }

private:
    int frame_ = 0;
    int direction_ = 1;
};

}  // namespace corvina

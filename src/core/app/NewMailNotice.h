#pragma once
// What the main window does at the end of a receive: the sound, the
// new-mail state, the "read it now?" question, restoring the window, and
// the "No new mail" notice.

#include <string>

namespace corvina {

struct Settings;

inline constexpr int kStrNoNewMail = 12;
inline constexpr int kStrReadNewMailNow = 112;

struct NoticeInputs {
    bool stored = false;       // the receive stored at least one message
    bool reminderDue = false;  // a reminder fell due (it notifies like new mail)
    bool windowActive = false;
    bool minimised = false;   // minimised or hidden in the tray
    bool alreadyNew = false;  // the new-mail state is shown already
};

struct NoticePlan {
    enum class Sound { kNone, kBeep, kFile };
    Sound sound = Sound::kNone;
    std::string soundFile;
    bool enterNewMailState = false;
    // "You have new mail. Do you want to read it now?" (Yes/No); No is the
    // preset unless PopUp is set.
    bool ask = false;
    bool askPresetYes = false;
    // Without the question: restore the minimised window now (PopUp).
    bool restore = false;
    bool noMailNotice = false;  // "No new mail"
    bool refreshList = false;   // the receive's list refresh (threaded view)
};

NoticePlan PlanNewMailNotice(const NoticeInputs& inputs, const Settings& settings);

// The notice at start and after a profile switch (no receive ran): only
// due reminders are told, by the sound and, with PopUp, by restoring a
// minimised window.
NoticePlan PlanStartNotice(bool reminderDue, bool minimised, const Settings& settings);

// The commands whose end runs the notice: the three receives.
bool EndsWithNewMailNotice(int command);

// After the question: restore a minimised window on Yes.
inline bool RestoreAfterAnswer(bool minimised, bool yes) {
    return minimised && yes;
}

}  // namespace corvina

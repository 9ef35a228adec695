#pragma once
// The periodic mail check: a one-minute timer counts ticks while no
// transfer runs; when the count reaches the interval and periodic checks
// are on, the main window runs "Receive New" as if the user had chosen it.

#include <functional>

namespace corvina {

struct Settings;

class MailCheckSchedule {
public:
    // The settings and whether the current account dials up; read at every
    // tick, so a change in the preferences takes effect at once.
    // `linkActive` answers whether a dial-up link is up (asked only with
    // NoOfflnChk on a dial-up account); empty = never up.
    struct Inputs {
        int checkMail = 1;  // 0 = every `minutes` minutes, 1 = never
        int minutes = 15;
        int noOfflnChk = 0;
        bool dialup = false;
        bool busy = false;
        std::function<bool()> linkActive;
    };
    static Inputs From(const Settings& settings, bool dialup, bool busy);

    // One minute has passed. True when the periodic receive is due now.
    bool Tick(const Inputs& inputs);
    // A receive command was chosen (or the periodic one started): count
    // from zero again.
    void Reset() { counter_ = 0; }
    int Counter() const { return counter_; }

private:
    int counter_ = 0;
};

}  // namespace corvina

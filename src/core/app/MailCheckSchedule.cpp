#include "app/MailCheckSchedule.h"

#include "app/Settings.h"

namespace corvina {

MailCheckSchedule::Inputs MailCheckSchedule::From(const Settings& settings, bool dialup,
                                                  bool busy) {
    Inputs inputs;
    inputs.checkMail = settings.checkMail;
    inputs.minutes = settings.minutes;
    inputs.noOfflnChk = settings.noOfflnChk;
    inputs.dialup = dialup;
    inputs.busy = busy;
    return inputs;
}

bool MailCheckSchedule::Tick(const Inputs& inputs) {
    // A running transfer holds the count: the interval is measured between
    // connections, not across them.
    if (inputs.busy)
        return false;
    ++counter_;
    // An interval below one minute would check at every tick and never let
    // the count settle; one minute is the shortest the timer can do.
    const int interval = inputs.minutes < 1 ? 1 : inputs.minutes;
    if (counter_ < interval || inputs.checkMail != 0)
        return false;
    counter_ = 0;
    if (inputs.noOfflnChk == 1 && inputs.dialup)
        return inputs.linkActive && inputs.linkActive();
    return true;
}

}  // namespace corvina

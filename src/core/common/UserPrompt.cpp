#include "common/UserPrompt.h"

#include "common/StringTable.h"

namespace corvina {

ConfirmAnswer AskById(UserPrompt& prompt, int stringId, ConfirmButtons buttons,
                      ConfirmAnswer preset) {
    Question q;
    q.text = LoadString(stringId);
    q.buttons = buttons;
    q.preset = preset;
    return prompt.Ask(q);
}

void NotifyById(UserPrompt& prompt, int stringId) {
    prompt.Notify(LoadString(stringId), kMessageCaption);
}

}  // namespace corvina

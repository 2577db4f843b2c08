#pragma once

// Every message box, input box and file dialog of the programs goes through this interface,
// so that tests can answer them instead of a user.

#include <QString>

class Prompt {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompt() = default;

    // A modal message box; returns the button pressed (Cancel or No when closed).
    virtual Answer Message(const QString& text, const QString& caption = {}, Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;
    // A modal input box; returns the text entered, or defaultText when cancelled.
    virtual QString Input(const QString& caption, const QString& label,
                          const QString& defaultText) = 0;
    // File dialogs; an empty result means cancelled.
    virtual QString OpenFileName(const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
};

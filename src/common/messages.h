// How the core tells the user something without failing: the plain message box
// of the window, a line on standard error for the command line, a list in tests;
// and the form an error's message takes when the user sees it.
#pragma once

#include <QString>

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void plainMessage(const QString &text) = 0;
};

// The error's text as the user sees it: a closing "." after a message whose
// last character sorts after "." (so not after ".", "!", ")", ",", quotes,
// blanks). The window's error box and the command line both show this.
QString testoErrore(const QString &messaggio);

// How the core tells the user something without failing: the plain message box
// of the window, a line on standard error for the command line, a list in tests.
#pragma once

#include <QString>

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void plainMessage(const QString &text) = 0;
};

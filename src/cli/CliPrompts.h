#pragma once

#include "base/IPrompts.h"

// What the engine has to tell the user, on the terminal: warnings and information go to
// stderr; a question is answered No, since nobody is there to answer it.
class CliPrompts : public IPrompts
{
public:
    bool askYesNo(const QString& text) override;
    void information(const QString& text) override;
    void warning(const QString& text) override;
};

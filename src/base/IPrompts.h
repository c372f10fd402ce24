#pragma once

#include <QString>

// How core code asks or tells the user something. The desktop program shows message
// boxes; tests answer with their own implementation.
class IPrompts
{
public:
    virtual ~IPrompts() = default;
    virtual bool askYesNo(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
};

#pragma once

#include <stdexcept>
#include <string>

// Raised by the XML component: a file that cannot be opened, read or written, a value that
// is not a number, an element name that could not be written as XML.
class EXmlException : public std::runtime_error
{
public:
    explicit EXmlException(const std::string& message) : std::runtime_error(message) {}
};

#pragma once

#include <stdexcept>
#include <string>

// An error the media component raises to its caller (the rest report through results).
class EFFmpegError : public std::runtime_error
{
public:
    explicit EFFmpegError(const std::string& message) : std::runtime_error(message) {}
};

#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

// Owns one file descriptor and closes it when it goes.
class TUniqueFd
{
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : m_fd(fd) {}
    ~TUniqueFd() { reset(); }
    TUniqueFd(TUniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }

    void reset(int fd = -1)
    {
        if (m_fd >= 0) {
            // close() is not retried on EINTR on Linux: the descriptor is gone either way.
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

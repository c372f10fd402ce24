#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps a second copy of the program from running. The lock lives in the user's runtime
// folder; a lock left by a dead process counts as free.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock; false when another running copy holds it.
    bool tryAcquire();

    static QString lockFilePath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

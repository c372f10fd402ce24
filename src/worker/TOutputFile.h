#pragma once

#include <QString>

#include <memory>

class QIODevice;

// Where a request's body goes: the page file or the working file. Whether what was written
// is really kept shows only at the end: a full disk often fails the write-out of buffered
// bytes or the close, not the write the client saw succeed.
class TOutputFile
{
public:
    virtual ~TOutputFile() = default;

    // The device the HTTP client writes to.
    virtual QIODevice& Device() = 0;
    // Writes out what is buffered and closes; false when any byte written may be missing.
    virtual bool Finish() = 0;
    // Why writing or Finish failed, as the system said it.
    virtual QString ErrorString();

    // Creates the file at path, only when nothing has that name yet (a link, even a
    // dangling one, counts as taken); nullptr when it cannot, error says why and taken
    // whether the name was in use.
    static std::unique_ptr<TOutputFile> Create(const QString& path, QString& error,
                                               bool* taken = nullptr);
    // A file over a descriptor open for writing; it is closed with the file.
    static std::unique_ptr<TOutputFile> OnDescriptor(int fd);
};

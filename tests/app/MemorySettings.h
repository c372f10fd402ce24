#pragma once

#include "app/SettingsStore.h"

#include <QMap>
#include <QStringList>

// A settings store in memory that records writes and can fail from the n-th write on.
class MemorySettings final : public ISettingsBackend
{
public:
    QMap<QString, QString> values;
    QStringList written; // keys in write order, failed ones included
    int failFromWrite = -1;
    QStringList* writeLog = nullptr; // outlives the store when set

    std::optional<QString> read(const QString& key) override
    {
        if (!values.contains(key))
            return std::nullopt;
        return values.value(key);
    }
    bool write(const QString& key, const QVariant& value) override
    {
        written.append(key);
        if (writeLog)
            writeLog->append(key);
        if (failFromWrite >= 0 && written.size() > failFromWrite)
            return false;
        values.insert(key, value.toString());
        return true;
    }
};

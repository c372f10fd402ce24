#pragma once

#include <QString>

// What encoders and decoders have in common: a name and a caller's integer.
class TFFBaseComponent
{
public:
    virtual ~TFFBaseComponent() = default;

    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    QString Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

protected:
    TFFBaseComponent() = default;
    TFFBaseComponent(const TFFBaseComponent&) = delete;
    TFFBaseComponent& operator=(const TFFBaseComponent&) = delete;

private:
    int m_tag = 0;
    QString m_name;
};

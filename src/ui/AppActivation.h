#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

// The running window on the session bus, as the desktop's application interface
// (org.freedesktop.Application under the name io.quillbrook.Quillbrook): a second start of
// the program, a launcher or a file manager hands it links or asks it to come to the front.
class AppActivation : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    // Called on the GUI thread with the links handed over (none: just come to the front).
    using LinksHandler = std::function<void(const QStringList& links)>;

    explicit AppActivation(LinksHandler handler, QObject* parent = nullptr);
    ~AppActivation() override;

    // Takes the name on the session bus; false when there is no bus or the name is taken.
    bool Register();

    // The second start's side: hands the links to the running copy (or, with none, asks it
    // to come to the front). Tries for a few seconds, so a copy that is still starting is
    // reached too. False, with the reason, when no copy answered.
    static bool HandOver(const QStringList& links, QString* reason);

    static const char* const ServiceName;
    static const char* const ObjectPath;

public Q_SLOTS:
    // The methods of the interface.
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& name, const QVariantList& parameter,
                        const QVariantMap& platformData);

private:
    LinksHandler m_handler;
    bool m_registered = false;
};

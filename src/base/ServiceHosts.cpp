#include "ServiceHosts.h"

#include "IniFile.h"

#include <QFile>

QString ServiceHosts::makerPage(const QString& path) const
{
    return QStringLiteral("http://") + Maker + path;
}

ServiceHosts LoadServiceHosts(const QString& iniPath)
{
    ServiceHosts h{QStringLiteral("soundcloud.com"), QStringLiteral("api.soundcloud.com"),
                   QStringLiteral("youtube.com"), QStringLiteral("youtu.be"),
                   QStringLiteral("www.quillbrook.example")};
    if (iniPath.isEmpty())
        return h;
    const IniFile ini = IniFile::load(iniPath);
    const QString section = QStringLiteral("Hosts");
    h.SoundCloudWeb = ini.value(section, QStringLiteral("SoundCloudWeb"), h.SoundCloudWeb);
    h.SoundCloudApi = ini.value(section, QStringLiteral("SoundCloudApi"), h.SoundCloudApi);
    h.YouTube = ini.value(section, QStringLiteral("YouTube"), h.YouTube);
    h.YouTubeShort = ini.value(section, QStringLiteral("YouTubeShort"), h.YouTubeShort);
    h.Maker = ini.value(section, QStringLiteral("Maker"), h.Maker);
    return h;
}

namespace {
ServiceHosts& configuredHosts()
{
    static ServiceHosts hosts = LoadServiceHosts(QFile::decodeName(qgetenv("QUILLBROOK_SERVICES")));
    return hosts;
}
} // namespace

const ServiceHosts& Hosts()
{
    return configuredHosts();
}

void OverrideServiceHosts(const ServiceHosts& hosts)
{
    configuredHosts() = hosts;
}

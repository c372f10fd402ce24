#include "TPeopleFile.h"

#include "PeopleFields.h"
#include "TFollowedPeople.h"
#include "base/AppSettings.h"
#include "base/WholeFileSave.h"
#include "xml/NativeXml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <exception>
#include <vector>

namespace {

constexpr int kAutoCheckField = 12;

// Lower-case element name to field index: 0 to 11 the user texts, 12 auto-check.
const QHash<QString, int>& UserFieldIndex()
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        for (int i = 0; i < int(peoplefields::kUser.size()); ++i)
            h.insert(QLatin1String(peoplefields::kUser[size_t(i)].element), i);
        h.insert(QLatin1String(peoplefields::kAutoCheck), kAutoCheckField);
        return h;
    }();
    return index;
}

const QHash<QString, int>& TrackFieldIndex()
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        for (int i = 0; i < int(peoplefields::kTrack.size()); ++i)
            h.insert(QLatin1String(peoplefields::kTrack[size_t(i)].element), i);
        return h;
    }();
    return index;
}

// Builds the users from the node events as the file is parsed; the document's tree is
// never walked.
class PeopleLoader
{
public:
    std::deque<TPeopleInfo> people;

    void NodeNew(const TXmlNode& node)
    {
        const int depth = node.TreeDepth();
        if (depth != 1 && depth != 2)
            return;
        const NameRole& role = Role(node);
        if (depth == 1 && role.user) {
            people.emplace_back();
        } else if (depth == 2 && role.track && !people.empty()) {
            TPeopleInfo& user = people.back();
            user.t_TracksInfo.emplace_back();
            user.t_TracksCount = static_cast<int>(user.t_TracksInfo.size());
        }
    }

    void NodeLoaded(const TXmlNode& node)
    {
        const int depth = node.TreeDepth();
        if ((depth != 2 && depth != 3) || people.empty())
            return;
        const NameRole& role = Role(node);
        TPeopleInfo& user = people.back();
        if (depth == 2) {
            if (role.userField == kAutoCheckField) {
                try {
                    user.t_AutoCheck = static_cast<std::uint8_t>(node.ValueAsInteger() & 0xff);
                } catch (const std::exception&) {
                    // Not a number: the flag keeps its value.
                }
            } else if (role.userField >= 0) {
                user.*peoplefields::kUser[size_t(role.userField)].field = node.ValueUnicode();
            }
            return;
        }
        if (user.t_TracksInfo.empty() || role.trackField < 0)
            return;
        TTracksInfo& track = user.t_TracksInfo.back();
        QString& value = track.*peoplefields::kTrack[size_t(role.trackField)].field;
        value = node.ValueUnicode();
        if (&value == &track.t_downloaded_at && !value.isEmpty())
            ++user.t_DownloadedCount;
    }

private:
    // What an element name stands for, whatever its letter case.
    struct NameRole
    {
        const QByteArray* name;
        bool user;
        bool track;
        int userField;
        int trackField;
    };

    // Every node of a name shares that name's text, so its address identifies the name for
    // the whole load: the roles of the few names a file uses are worked out once each.
    const NameRole& Role(const TXmlNode& node)
    {
        const QByteArray* name = &node.Name();
        // Names come in the same order for every track: try the one after the last first.
        if (m_next < m_roles.size() && m_roles[m_next].name == name)
            return m_roles[m_next++];
        for (size_t i = 0; i < m_roles.size(); ++i) {
            if (m_roles[i].name == name) {
                m_next = i + 1;
                return m_roles[i];
            }
        }
        const QString lower = node.NameUnicode().toLower();
        NameRole role{name, lower == QLatin1String("user"), lower == QLatin1String("track"),
                      UserFieldIndex().value(lower, -1), TrackFieldIndex().value(lower, -1)};
        // A file with unexpectedly many names keeps the search short: the rest are worked out
        // on every use.
        if (m_roles.size() >= kRememberedNames) {
            m_uncached = role;
            return m_uncached;
        }
        m_roles.push_back(role);
        m_next = m_roles.size();
        return m_roles.back();
    }

    static constexpr size_t kRememberedNames = 64;
    std::vector<NameRole> m_roles;
    size_t m_next = 0; // the role after the last one found
    NameRole m_uncached{};
};

} // namespace

TPeopleFile::TPeopleFile(QString path) : m_path(std::move(path)) {}

QString TPeopleFile::DefaultPath()
{
    return AppSettings().DataDir() + QStringLiteral("data/followuser.xml");
}

bool TPeopleFile::ReadPeopleInfo(TFollowedPeople& store)
{
    m_loadError.clear();
    if (!QFileInfo::exists(m_path))
        return true;
    PeopleLoader loader;
    try {
        auto xml = TNativeXml::Create();
        xml->Clear();
        xml->OnNodeNew = [&loader](TNativeXml&, TXmlNode& node) {
            loader.NodeNew(node);
        };
        xml->OnNodeLoaded = [&loader](TNativeXml&, TXmlNode& node) {
            loader.NodeLoaded(node);
        };
        if (!xml->LoadFromFile(m_path))
            m_loadError = xml->ErrorText();
    } catch (const std::exception& e) {
        m_loadError = QString::fromLocal8Bit(e.what());
    } catch (...) {
        m_loadError = QStringLiteral("unknown error");
    }
    // The users read before a fault stay.
    store.Replace(std::move(loader.people));
    m_keepBadCopy = !m_loadError.isEmpty();
    return m_loadError.isEmpty();
}

QByteArray TPeopleFile::SaveBytes(const TFollowedPeople& store)
{
    auto xml = TNativeXml::CreateName("users");
    xml->SetXmlFormat(xfReadable);
    TXmlNode* root = xml->Root();
    const int count = store.FollowedPeopleCount();
    TPeopleSnapshot snapshot;
    for (int id = 1; id <= count; ++id) {
        if (!store.Snapshot(id, snapshot))
            continue;
        TXmlNode* user = root->NodeNew("user");
        for (size_t i = 0; i < peoplefields::kUser.size(); ++i)
            user->WriteString(peoplefields::kUser[i].element, snapshot.fields[i]);
        user->WriteString(peoplefields::kAutoCheck, QByteArray::number(snapshot.autoCheck));
        for (const auto& fields : snapshot.tracks) {
            TXmlNode* track = user->NodeNew("track");
            for (size_t i = 0; i < peoplefields::kTrack.size(); ++i)
                track->WriteString(peoplefields::kTrack[i].element, fields[i]);
        }
    }
    return xml->SaveToBytes();
}

QString TPeopleFile::WriteTo(const TFollowedPeople& store, QIODevice& device)
{
    const QByteArray bytes = SaveBytes(store);
    if (device.write(bytes) != bytes.size()) {
        const QString reason = device.errorString();
        return reason.isEmpty() ? QStringLiteral("the file was not written whole") : reason;
    }
    return {};
}

QString TPeopleFile::WritePeopleInfo(const TFollowedPeople& store)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    // A file that did not load whole still holds the users after its fault: keep a copy
    // for recovery by hand before it is replaced.
    if (m_keepBadCopy && QFileInfo::exists(m_path)) {
        const QString bad = BadCopyPath();
        QFile::remove(bad);
        QFile original(m_path);
        if (!original.copy(bad))
            return QStringLiteral("cannot keep a copy of the damaged file as %1: %2")
                .arg(bad, original.errorString());
    }
    m_keepBadCopy = false;
    return SaveFileWhole(m_path, SaveBytes(store));
}

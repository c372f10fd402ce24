#include "TTrackListReader.h"

#include "PeopleFields.h"
#include "TTracksInfo.h"
#include "xml/NativeXml.h"

#include <exception>

namespace {

// The fields of the reply: the first eight of a saved track, under the same names.
constexpr size_t kReplyFields = 8;

bool SameName(const QString& name, const char* wanted)
{
    return name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

// Raised from a node handler to end the load when the stop is asked for.
struct Stopped
{
};

class TrackCollector
{
public:
    TrackCollector(const TTrackListReader::TOnTrack& onTrack, const TTrackListReader::TStop& stop)
        : m_onTrack(onTrack), m_stop(stop)
    {
    }

    void NodeNew(const TXmlNode& node)
    {
        if (m_stop && m_stop())
            throw Stopped();
        if (node.TreeDepth() != 1 || !node.IsElement())
            return;
        m_inTrack = SameName(node.NameUnicode(), "track");
        if (m_inTrack)
            m_track = TTracksInfo();
    }

    void NodeLoaded(const TXmlNode& node)
    {
        if (!m_inTrack || !node.IsElement())
            return;
        const int depth = node.TreeDepth();
        if (depth == 1) {
            m_inTrack = false;
            if (!m_track.t_id.isEmpty())
                m_onTrack(m_track);
            return;
        }
        if (depth != 2)
            return;
        const QString& name = node.NameUnicode();
        for (size_t i = 0; i < kReplyFields; ++i) {
            const auto& field = peoplefields::kTrack[i];
            if (SameName(name, field.element)) {
                m_track.*field.field = node.ValueUnicode();
                return;
            }
        }
    }

private:
    const TTrackListReader::TOnTrack& m_onTrack;
    const TTrackListReader::TStop& m_stop;
    TTracksInfo m_track;
    bool m_inTrack = false;
};

template <class Load>
bool Read(const TTrackListReader::TOnTrack& onTrack, const TTrackListReader::TStop& stop,
          QString* error, Load&& load)
{
    TrackCollector collector(onTrack, stop);
    try {
        auto xml = TNativeXml::Create();
        xml->Clear();
        xml->OnNodeNew = [&collector](TNativeXml&, TXmlNode& node) {
            collector.NodeNew(node);
        };
        xml->OnNodeLoaded = [&collector](TNativeXml&, TXmlNode& node) {
            collector.NodeLoaded(node);
        };
        const bool whole = load(*xml);
        if (!whole && error)
            *error = xml->ErrorText();
        return whole;
    } catch (const Stopped&) {
        if (error)
            *error = QLatin1String(TTrackListReader::kStopped);
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        if (error)
            *error = QStringLiteral("unknown error");
    }
    return false;
}

} // namespace

bool TTrackListReader::ReadFile(const QString& path, const TOnTrack& onTrack, QString* error,
                                const TStop& stop)
{
    return Read(onTrack, stop, error, [&path](TNativeXml& xml) { return xml.LoadFromFile(path); });
}

bool TTrackListReader::ReadBytes(QByteArrayView bytes, const TOnTrack& onTrack, QString* error,
                                 const TStop& stop)
{
    return Read(onTrack, stop, error,
                [bytes](TNativeXml& xml) { return xml.LoadFromBytes(bytes); });
}

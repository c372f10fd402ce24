#include "TestHttpRequest.h"

namespace qbtest {

TRecordedRequest TRecordedRequest::FromHead(const QByteArray& head, int connection)
{
    TRecordedRequest request;
    request.t_Connection = connection;
    request.t_Raw = head;
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty()) {
        request.t_RequestLine = lines.takeFirst();
        const QList<QByteArray> parts = request.t_RequestLine.split(' ');
        if (parts.size() >= 2)
            request.t_Target = parts.at(1);
    }
    request.t_HeaderLines = lines;
    return request;
}

QByteArray TRecordedRequest::Header(const QByteArray& name) const
{
    for (const QByteArray& line : t_HeaderLines) {
        const int colon = int(line.indexOf(':'));
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

} // namespace qbtest

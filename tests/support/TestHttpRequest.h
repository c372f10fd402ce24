#pragma once

#include <QByteArray>
#include <QList>

namespace qbtest {

// A request as the test server received it.
struct TRecordedRequest
{
    int t_Connection = 0;            // 1-based number of the connection it came on
    QByteArray t_Raw;                // the head as received, up to and including the blank line
    QByteArray t_RequestLine;        // "GET /path HTTP/1.0"
    QByteArray t_Target;             // "/path"
    QList<QByteArray> t_HeaderLines; // the lines after the request line, without line ends

    static TRecordedRequest FromHead(const QByteArray& head, int connection);
    // Value of the first header named name (compared ignoring case); null when absent.
    QByteArray Header(const QByteArray& name) const;
};

} // namespace qbtest

#pragma once

#include "xml/NativeXml.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// What a load delivered: one line per event, "new <depth> <name>" or
// "loaded <depth> <name> [<value>]", and whether the whole file was read.
struct TracedLoad
{
    bool whole = false;
    QStringList events;
    QString error;
};

inline QString DescribeNode(const char* event, const TXmlNode& node)
{
    QString line = QStringLiteral("%1 %2 %3")
                       .arg(QLatin1String(event))
                       .arg(node.TreeDepth())
                       .arg(QString::fromUtf8(node.Name()));
    if (qstrcmp(event, "loaded") == 0)
        line += QStringLiteral(" [%1]").arg(node.ValueUnicode());
    return line;
}

// A new node must already be the last child of its parent, one level below it.
inline bool IsAttached(const TXmlNode& node)
{
    const TXmlNode* parent = node.Parent();
    if (!parent)
        return node.TreeDepth() == 0;
    const TXmlNode* last = parent->FirstChild();
    while (last && last->NextSibling())
        last = last->NextSibling();
    return last == &node && node.TreeDepth() == parent->TreeDepth() + 1;
}

inline void TraceEvents(TNativeXml& xml, QStringList& events)
{
    xml.OnNodeNew = [&events](TNativeXml&, TXmlNode& node) {
        events << DescribeNode("new", node) + (IsAttached(node) ? "" : " DETACHED");
    };
    xml.OnNodeLoaded = [&events](TNativeXml&, TXmlNode& node) {
        events << DescribeNode("loaded", node);
    };
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Loads the bytes from a file, the way the program reads its documents.
inline TracedLoad LoadTraced(const QByteArray& bytes)
{
    TracedLoad result;
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.xml");
    if (!WriteFile(path, bytes))
        return result;
    TNativeXml xml;
    TraceEvents(xml, result.events);
    result.whole = xml.LoadFromFile(path);
    result.error = xml.ErrorText();
    return result;
}

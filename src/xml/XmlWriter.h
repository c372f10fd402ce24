#pragma once

#include <QByteArray>

class TNativeXml;
class TXmlNode;

// Turns a document into the bytes of its file, in the document's format options.
class TXmlWriter
{
public:
    explicit TXmlWriter(const TNativeXml& document);

    QByteArray Write();

private:
    void WriteElementStart(const TXmlNode& node);
    void WriteElementEnd(const TXmlNode& node, bool hadMarkupChild);
    void WriteText(const TXmlNode& node);
    void WriteOther(const TXmlNode& node);
    void WriteAttributes(const TXmlNode& node);
    void AppendEscaped(const QByteArray& value, bool inAttribute);
    void AppendWithBreaks(const QByteArray& value);
    void BreakLine();
    void EndLine();
    void Indent(int depth);

    const TNativeXml& m_document;
    QByteArray m_out;
    QByteArray m_eol;
    bool m_readable;
    bool m_atLineStart = true;
};

#pragma once

#include <QByteArray>
#include <QByteArrayView>

class TNativeXml;
class TXmlNode;

// Turns a document into the bytes of its file, in the document's format options.
class TXmlWriter
{
public:
    explicit TXmlWriter(const TNativeXml& document);

    QByteArray Write();

private:
    static bool IsWritten(const TXmlNode& node);
    static const TXmlNode* NextWritten(const TXmlNode* node);
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

    // The output grows in large steps and is written through a plain pointer: a saved file
    // is made of millions of small pieces.
    void Put(QByteArrayView bytes);
    void Put(char c);
    void Grow(qsizetype more);

    const TNativeXml& m_document;
    QByteArray m_out; // sized ahead; m_at is the end of what is written
    char* m_at = nullptr;
    char* m_end = nullptr;
    QByteArray m_eol;
    bool m_readable;
    bool m_atLineStart = true;
};

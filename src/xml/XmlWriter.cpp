#include "XmlWriter.h"

#include "NativeXml.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// Bytes AppendEscaped must look at: 1 in text, 2 in attribute values, 3 in both.
constexpr std::array<unsigned char, 256> kSpecial = [] {
    std::array<unsigned char, 256> table{};
    for (const unsigned char c : {'&', '<', '>', '"', '\'', '\r', '\n'})
        table[c] = 3;
    table['\t'] = 2;
    return table;
}();

} // namespace

// Doctype nodes are not written, nor text that is empty.
bool TXmlWriter::IsWritten(const TXmlNode& node)
{
    if (node.ElementType() == xeDocType)
        return false;
    return node.ElementType() != xeCharData || !node.m_value.isEmpty();
}

const TXmlNode* TXmlWriter::NextWritten(const TXmlNode* node)
{
    while (node && !IsWritten(*node))
        node = node->NextSibling();
    return node;
}

TXmlWriter::TXmlWriter(const TNativeXml& document)
    : m_document(document), m_readable(document.XmlFormat() == xfReadable)
{
    switch (document.EolStyle()) {
    case esLF:
        m_eol = "\n";
        break;
    case esCR:
        m_eol = "\r";
        break;
    case esCRLF:
        m_eol = "\r\n";
        break;
    }
}

QByteArray TXmlWriter::Write()
{
    struct Frame
    {
        const TXmlNode* element;
        const TXmlNode* next; // next child to write
        bool hadMarkupChild;
    };
    // Elements still open, so nesting depth is bounded by memory rather than the stack.
    std::vector<Frame> open;
    auto start = [&](const TXmlNode& element) {
        WriteElementStart(element);
        const TXmlNode* first = NextWritten(element.FirstChild());
        if (!first) {
            if (m_document.NodeClosingStyle() == ncFull) {
                Put("></");
                Put(element.Name());
                Put('>');
            } else {
                Put("/>");
            }
            EndLine();
            return;
        }
        Put('>');
        m_atLineStart = false;
        open.push_back({&element, first, false});
    };

    for (const TXmlNode* top = NextWritten(m_document.FirstNode()); top;
         top = NextWritten(top->NextSibling())) {
        if (top->ElementType() != xeElement) {
            WriteOther(*top);
            continue;
        }
        start(*top);
        while (!open.empty()) {
            Frame& frame = open.back();
            const TXmlNode* child = frame.next;
            if (!child) {
                WriteElementEnd(*frame.element, frame.hadMarkupChild);
                open.pop_back();
                continue;
            }
            frame.next = NextWritten(child->NextSibling());
            if (child->ElementType() == xeCharData) {
                WriteText(*child);
                continue;
            }
            frame.hadMarkupChild = true;
            if (child->ElementType() == xeElement)
                start(*child); // may move `frame`
            else
                WriteOther(*child);
        }
    }
    if (!m_at)
        return {};
    m_out.resize(m_at - m_out.data());
    return std::move(m_out);
}

void TXmlWriter::WriteElementStart(const TXmlNode& node)
{
    BreakLine();
    Indent(node.TreeDepth());
    Put('<');
    Put(node.Name());
    WriteAttributes(node);
}

void TXmlWriter::WriteElementEnd(const TXmlNode& node, bool hadMarkupChild)
{
    if (hadMarkupChild) {
        BreakLine();
        Indent(node.TreeDepth());
    }
    Put("</");
    Put(node.Name());
    Put('>');
    EndLine();
}

void TXmlWriter::WriteText(const TXmlNode& node)
{
    // Right after the start tag the text stays on the element's line; after other markup it
    // gets a line of its own.
    if (m_readable && m_atLineStart) {
        Indent(node.TreeDepth());
        AppendEscaped(node.m_value, false);
        EndLine();
    } else {
        AppendEscaped(node.m_value, false);
    }
}

void TXmlWriter::WriteOther(const TXmlNode& node)
{
    switch (node.ElementType()) {
    case xeDeclaration:
        BreakLine();
        Put("<?xml");
        WriteAttributes(node);
        Put("?>");
        // The declaration ends its line in every layout.
        Put(m_eol);
        m_atLineStart = true;
        return;
    case xeComment:
        BreakLine();
        Indent(node.TreeDepth());
        Put("<!--");
        AppendWithBreaks(node.m_value);
        Put("-->");
        EndLine();
        return;
    case xeInstruction:
        BreakLine();
        Indent(node.TreeDepth());
        Put("<?");
        AppendWithBreaks(node.m_value);
        Put("?>");
        EndLine();
        return;
    case xeElement:
    case xeCharData:
    case xeDocType:
        return;
    }
}

void TXmlWriter::WriteAttributes(const TXmlNode& node)
{
    const bool declaration = node.ElementType() == xeDeclaration;
    for (const auto& [name, value] : node.m_attributes) {
        Put(' ');
        Put(name);
        Put("=\"");
        // The bytes written are UTF-8 whatever encoding a loaded file declared.
        if (declaration && name == "encoding" && value.compare("utf-8", Qt::CaseInsensitive) != 0)
            Put("utf-8");
        else
            AppendEscaped(value, true);
        Put('"');
    }
}

void TXmlWriter::AppendEscaped(const QByteArray& value, bool inAttribute)
{
    const unsigned char mask = inAttribute ? 2 : 1;
    const char* data = value.constData();
    const qsizetype size = value.size();
    qsizetype plain = 0; // start of the bytes not yet copied
    for (qsizetype i = 0; i < size; ++i) {
        if (!(kSpecial[static_cast<unsigned char>(data[i])] & mask))
            continue;
        Put(QByteArrayView(data + plain, i - plain));
        plain = i + 1;
        switch (data[i]) {
        case '&':
            Put("&amp;");
            break;
        case '<':
            Put("&lt;");
            break;
        case '>':
            Put("&gt;");
            break;
        case '"':
            Put("&quot;");
            break;
        case '\'':
            Put("&apos;");
            break;
        case '\r':
            Put("&#13;");
            break;
        case '\n':
            // Attribute values would fold a literal line break into a blank.
            if (inAttribute)
                Put("&#10;");
            else
                Put(m_eol);
            break;
        case '\t':
            Put("&#9;");
            break;
        default:
            break;
        }
    }
    Put(QByteArrayView(data + plain, size - plain));
}

void TXmlWriter::AppendWithBreaks(const QByteArray& value)
{
    if (!value.contains('\n')) {
        Put(value);
        return;
    }
    QByteArray copy = value;
    Put(copy.replace('\n', m_eol));
}

void TXmlWriter::BreakLine()
{
    if (m_readable && !m_atLineStart) {
        Put(m_eol);
        m_atLineStart = true;
    }
}

void TXmlWriter::EndLine()
{
    if (m_readable) {
        Put(m_eol);
        m_atLineStart = true;
    }
}

void TXmlWriter::Indent(int depth)
{
    if (!m_readable)
        return;
    for (int i = 0; i < depth; ++i)
        Put(m_document.IndentString());
}

void TXmlWriter::Put(QByteArrayView bytes)
{
    if (m_end - m_at < bytes.size())
        Grow(bytes.size());
    std::memcpy(m_at, bytes.data(), size_t(bytes.size()));
    m_at += bytes.size();
}

void TXmlWriter::Put(char c)
{
    if (m_at == m_end)
        Grow(1);
    *m_at++ = c;
}

void TXmlWriter::Grow(qsizetype more)
{
    const qsizetype used = m_at ? m_at - m_out.data() : 0;
    m_out.resize(std::max({qsizetype(64 * 1024), m_out.size() * 2, used + more}));
    m_at = m_out.data() + used;
    m_end = m_out.data() + m_out.size();
}

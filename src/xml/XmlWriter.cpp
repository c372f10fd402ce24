#include "XmlWriter.h"

#include "NativeXml.h"

#include <vector>

namespace {

// Doctype nodes are not written, nor text that is empty.
bool IsWritten(const TXmlNode& node)
{
    if (node.ElementType() == xeDocType)
        return false;
    return node.ElementType() != xeCharData || !node.Value().isEmpty();
}

const TXmlNode* NextWritten(const TXmlNode* node)
{
    while (node && !IsWritten(*node))
        node = node->NextSibling();
    return node;
}

} // namespace

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
            m_out += m_document.NodeClosingStyle() == ncFull ? "></" + element.Name() + '>' : "/>";
            EndLine();
            return;
        }
        m_out += '>';
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
    return m_out;
}

void TXmlWriter::WriteElementStart(const TXmlNode& node)
{
    BreakLine();
    Indent(node.TreeDepth());
    m_out += '<';
    m_out += node.Name();
    WriteAttributes(node);
}

void TXmlWriter::WriteElementEnd(const TXmlNode& node, bool hadMarkupChild)
{
    if (hadMarkupChild) {
        BreakLine();
        Indent(node.TreeDepth());
    }
    m_out += "</";
    m_out += node.Name();
    m_out += '>';
    EndLine();
}

void TXmlWriter::WriteText(const TXmlNode& node)
{
    // Right after the start tag the text stays on the element's line; after other markup it
    // gets a line of its own.
    if (m_readable && m_atLineStart) {
        Indent(node.TreeDepth());
        AppendEscaped(node.Value(), false);
        EndLine();
    } else {
        AppendEscaped(node.Value(), false);
    }
}

void TXmlWriter::WriteOther(const TXmlNode& node)
{
    switch (node.ElementType()) {
    case xeDeclaration:
        BreakLine();
        m_out += "<?xml";
        WriteAttributes(node);
        m_out += "?>";
        // The declaration ends its line in every layout.
        m_out += m_eol;
        m_atLineStart = true;
        return;
    case xeComment:
        BreakLine();
        Indent(node.TreeDepth());
        m_out += "<!--";
        AppendWithBreaks(node.Value());
        m_out += "-->";
        EndLine();
        return;
    case xeInstruction:
        BreakLine();
        Indent(node.TreeDepth());
        m_out += "<?";
        AppendWithBreaks(node.Value());
        m_out += "?>";
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
        m_out += ' ';
        m_out += name;
        m_out += "=\"";
        // The bytes written are UTF-8 whatever encoding a loaded file declared.
        if (declaration && name == "encoding" && value.compare("utf-8", Qt::CaseInsensitive) != 0)
            m_out += "utf-8";
        else
            AppendEscaped(value, true);
        m_out += '"';
    }
}

void TXmlWriter::AppendEscaped(const QByteArray& value, bool inAttribute)
{
    const char* data = value.constData();
    const qsizetype size = value.size();
    qsizetype plain = 0; // start of the bytes not yet copied
    for (qsizetype i = 0; i < size; ++i) {
        const char* replacement = nullptr;
        switch (data[i]) {
        case '&':
            replacement = "&amp;";
            break;
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = "&gt;";
            break;
        case '"':
            replacement = "&quot;";
            break;
        case '\'':
            replacement = "&apos;";
            break;
        case '\r':
            replacement = "&#13;";
            break;
        case '\n':
            // Attribute values would fold a literal line break into a blank.
            replacement = inAttribute ? "&#10;" : nullptr;
            break;
        case '\t':
            replacement = inAttribute ? "&#9;" : nullptr;
            break;
        default:
            continue;
        }
        m_out.append(data + plain, i - plain);
        if (replacement)
            m_out += replacement;
        else if (data[i] == '\n')
            m_out += m_eol;
        else
            m_out += data[i];
        plain = i + 1;
    }
    m_out.append(data + plain, size - plain);
}

void TXmlWriter::AppendWithBreaks(const QByteArray& value)
{
    if (!value.contains('\n')) {
        m_out += value;
        return;
    }
    QByteArray copy = value;
    m_out += copy.replace('\n', m_eol);
}

void TXmlWriter::BreakLine()
{
    if (m_readable && !m_atLineStart) {
        m_out += m_eol;
        m_atLineStart = true;
    }
}

void TXmlWriter::EndLine()
{
    if (m_readable) {
        m_out += m_eol;
        m_atLineStart = true;
    }
}

void TXmlWriter::Indent(int depth)
{
    if (!m_readable)
        return;
    for (int i = 0; i < depth; ++i)
        m_out += m_document.IndentString();
}

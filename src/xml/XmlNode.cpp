#include "XmlNode.h"

#include "NativeXml.h"
#include "XmlException.h"
#include "XmlText.h"

#include <limits>

TXmlNode::TXmlNode(Key, TNativeXml* document, TsdElementType type, const NameForms* name,
                   TXmlNode* parent)
    : m_document(document), m_parent(parent), m_name(name),
      m_depth(parent ? parent->m_depth + 1 : 0), m_type(type)
{
}

int TXmlNode::NodeCount() const
{
    int count = 0;
    for (const TXmlNode* child = m_firstChild; child; child = child->m_next)
        ++count;
    return count;
}

TXmlNode* TXmlNode::NodeByName(QByteArrayView name) const
{
    for (TXmlNode* child = m_firstChild; child; child = child->m_next) {
        if (child->m_type == xeElement && child->m_name->utf8 == name)
            return child;
    }
    return nullptr;
}

TXmlNode* TXmlNode::FirstCharData() const
{
    for (TXmlNode* child = m_firstChild; child; child = child->m_next) {
        if (child->m_type == xeCharData)
            return child;
    }
    return nullptr;
}

const QByteArray& TXmlNode::ValueRef() const
{
    static const QByteArray none;
    if (m_type != xeElement)
        return m_value;
    const TXmlNode* text = FirstCharData();
    return text ? text->m_value : none;
}

QByteArray TXmlNode::Value() const
{
    return ValueRef();
}

QString TXmlNode::ValueUnicode() const
{
    const QByteArray& utf8 = ValueRef();
    const TEolStyle style = m_document->EolStyle();
    // Most values are one line: they convert as they are.
    if (style == esLF || !utf8.contains('\n'))
        return QString::fromUtf8(utf8);
    if (style == esCR) {
        QString value = QString::fromUtf8(utf8);
        value.replace(QLatin1Char('\n'), QLatin1Char('\r'));
        return value;
    }
    // CR LF: widen every LF of the converted text in one pass.
    const QString lines = QString::fromUtf8(utf8);
    QString value(lines.size() + utf8.count('\n'), Qt::Uninitialized);
    QChar* out = value.data();
    for (const QChar c : lines) {
        if (c == QLatin1Char('\n'))
            *out++ = QLatin1Char('\r');
        *out++ = c;
    }
    return value;
}

int TXmlNode::ValueAsInteger() const
{
    const QByteArray value = Value();
    const std::string_view text = xmltext::Trimmed({value.constData(), size_t(value.size())});
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        throw EXmlException("'" + value.toStdString() + "' is not a valid integer value");
    long long number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            throw EXmlException("'" + value.toStdString() + "' is not a valid integer value");
        number = number * 10 + (text[i] - '0');
        if (number > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            throw EXmlException("'" + value.toStdString() + "' is out of the integer range");
    }
    if (negative)
        number = -number;
    if (number > std::numeric_limits<int>::max())
        throw EXmlException("'" + value.toStdString() + "' is out of the integer range");
    return static_cast<int>(number);
}

void TXmlNode::SetValue(const QByteArray& utf8)
{
    const QByteArray clean = xmltext::CleanValue(utf8);
    if (m_type != xeElement) {
        m_value = clean;
        return;
    }
    if (TXmlNode* text = FirstCharData()) {
        text->m_value = clean;
    } else if (!clean.isEmpty()) {
        // The value is the element's own text: it goes first, on the element's line.
        TXmlNode* node = m_document->MakeNode(xeCharData, nullptr);
        Prepend(node);
        node->m_value = clean;
    }
}

void TXmlNode::SetValueUnicode(const QString& value)
{
    SetValue(value.toUtf8());
}

const TXmlNode::NameForms* TXmlNode::ChildName(QByteArrayView name) const
{
    const NameForms*& hint = m_lastChild && m_lastChild->m_type == xeElement
                                 ? m_lastChild->m_name->nextSiblingHint
                                 : m_name->firstChildHint;
    if (hint && hint->utf8 == name)
        return hint;
    const NameForms* forms = m_document->ElementName(name);
    hint = forms;
    return forms;
}

TXmlNode* TXmlNode::NodeNew(QByteArrayView name)
{
    if (m_type != xeElement)
        throw EXmlException("only elements hold child elements");
    return m_document->AddNode(xeElement, ChildName(name), this);
}

void TXmlNode::WriteString(QByteArrayView name, const QByteArray& value,
                           const QByteArray& defaultValue)
{
    if (!m_document->WriteOnDefault() && value == defaultValue)
        return;
    if (m_type != xeElement)
        throw EXmlException("only elements hold child elements");
    // Names are held once per document, so the name's address tells children apart.
    const NameForms* forms = ChildName(name);
    TXmlNode* child = m_firstChild;
    while (child && (child->m_type != xeElement || child->m_name != forms))
        child = child->m_next;
    if (!child)
        child = m_document->AddNode(xeElement, forms, this);
    child->SetValue(value);
}

QByteArray TXmlNode::AttributeByName(const QByteArray& name) const
{
    for (const auto& [key, value] : m_attributes) {
        if (key == name)
            return value;
    }
    return {};
}

void TXmlNode::Reset(TsdElementType type, const NameForms* name)
{
    // A value buffer this large is given back rather than kept for a node that may never
    // need it again.
    constexpr qsizetype kKeptValueBytes = 4096;
    m_parent = nullptr;
    m_firstChild = nullptr;
    m_lastChild = nullptr;
    m_next = nullptr;
    m_name = name;
    if (!m_value.isEmpty()) {
        if (m_value.capacity() > kKeptValueBytes || !m_value.isDetached())
            m_value = QByteArray();
        else
            m_value.resize(0);
    }
    m_attributes.clear();
    m_depth = 0;
    m_type = type;
}

void TXmlNode::Append(TXmlNode* child)
{
    child->m_parent = this;
    child->m_depth = m_depth + 1;
    if (m_lastChild)
        m_lastChild->m_next = child;
    else
        m_firstChild = child;
    m_lastChild = child;
}

void TXmlNode::Prepend(TXmlNode* child)
{
    child->m_parent = this;
    child->m_depth = m_depth + 1;
    child->m_next = m_firstChild;
    m_firstChild = child;
    if (!m_lastChild)
        m_lastChild = child;
}

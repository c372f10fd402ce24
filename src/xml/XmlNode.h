#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

class TNativeXml;

// The kinds of node a document holds. Only elements carry names the program looks for;
// every other kind has a fixed name starting with "#", which no element name can.
enum TsdElementType : std::uint8_t
{
    xeElement,
    xeCharData,    // "#text": the trimmed text between two pieces of markup
    xeComment,     // "#comment"
    xeDeclaration, // "#declaration": <?xml ...?>
    xeDocType,     // "#doctype": never made (loads refuse document types), never written
    xeInstruction, // "#instruction": processing instruction, value "target data"
};

// One node of a TNativeXml document. Nodes belong to their document, live until it is
// cleared or freed, and are only made by the document (NodeNew, loading).
// Names and values are UTF-8; values are held unescaped, with LF line breaks.
class TXmlNode
{
    struct Key
    {
    };

public:
    // A name in both forms, made once per distinct name of a document.
    struct NameForms
    {
        QByteArray utf8;
        QString unicode;
        // The reader's guesses of the names that come next: of the first child element of an
        // element with this name, and of the element after a sibling with this name. Files
        // repeat the same sequence of names, so most names are found by one comparison.
        mutable const NameForms* firstChildHint = nullptr;
        mutable const NameForms* nextSiblingHint = nullptr;
    };

    TXmlNode(Key, TNativeXml* document, TsdElementType type, const NameForms* name,
             TXmlNode* parent);
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;
    TXmlNode(TXmlNode&&) = default;
    TXmlNode& operator=(TXmlNode&&) = default;

    TsdElementType ElementType() const { return m_type; }
    bool IsElement() const { return m_type == xeElement; }
    const QByteArray& Name() const { return m_name->utf8; }
    // The name as UTF-16, shared by every node of that name: comparing it, or lower-casing
    // a name that is already lower case, costs no copy.
    const QString& NameUnicode() const { return m_name->unicode; }
    // The containing node; none for a top-level node.
    TXmlNode* Parent() const { return m_parent; }
    // 0 for a top-level node, else the parent's depth plus 1.
    int TreeDepth() const { return m_depth; }
    TNativeXml& Document() const { return *m_document; }

    // Children in document order.
    TXmlNode* FirstChild() const { return m_firstChild; }
    TXmlNode* NextSibling() const { return m_next; }
    int NodeCount() const;
    // The first child element with this name (exact match), or none.
    TXmlNode* NodeByName(QByteArrayView name) const;

    // An element's value is the text of its first character-data child (empty when it has
    // none); other nodes hold their own text.
    QByteArray Value() const;
    // The value as UTF-16, its line breaks in the document's EolStyle.
    QString ValueUnicode() const;
    // The value read as a decimal integer; raises EXmlException when it is not one.
    int ValueAsInteger() const;
    // Sets the value. Line breaks become LF; bytes that are not valid UTF-8 and characters
    // XML cannot carry become U+FFFD, so a saved file always reads back whole.
    void SetValue(const QByteArray& utf8);
    void SetValueUnicode(const QString& value);

    // Appends a child element with this name and returns it. Raises EXmlException when the
    // name cannot be written as an XML name.
    TXmlNode* NodeNew(QByteArrayView name);
    // When the document's WriteOnDefault is set or value differs from defaultValue: sets the
    // value of the first child element with this name, made with NodeNew if there is none.
    void WriteString(QByteArrayView name, const QByteArray& value,
                     const QByteArray& defaultValue = {});

    // Attributes as read (declarations also keep theirs here); none is empty.
    int AttributeCount() const { return static_cast<int>(m_attributes.size()); }
    QByteArray AttributeByName(const QByteArray& name) const;

private:
    friend class TNativeXml;
    friend class TXmlReader;
    friend class TXmlWriter;

    TXmlNode* FirstCharData() const;
    // Value() without a copy.
    const QByteArray& ValueRef() const;
    // Makes a released node new again: unlinked, no value, no attributes. The buffers of the
    // value and the attributes are kept, so a reused node rarely allocates.
    void Reset(TsdElementType type, const NameForms* name);
    void Append(TXmlNode* child);
    void Prepend(TXmlNode* child);
    // The name of a child element about to be made or looked up: the guess of the last
    // child's name tried first, as the reader does; raises EXmlException for a name that
    // cannot be written.
    const NameForms* ChildName(QByteArrayView name) const;

    TNativeXml* m_document;
    TXmlNode* m_parent;
    TXmlNode* m_firstChild = nullptr;
    TXmlNode* m_lastChild = nullptr;
    TXmlNode* m_next = nullptr;
    const NameForms* m_name;
    QByteArray m_value;
    std::vector<std::pair<QByteArray, QByteArray>> m_attributes;
    int m_depth;
    TsdElementType m_type;
};

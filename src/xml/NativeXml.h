#pragma once

#include "XmlNode.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

// How SaveToFile lays a document out. xfReadable: one element per line, indented by depth;
// the other two write the markup without added line breaks or indentation.
enum TXmlFormat
{
    xfCompact,
    xfReadable,
    xfPreserve
};
// Line break written by the readable layout and after the declaration; line breaks inside
// values are returned by ValueUnicode and written in this style.
enum TEolStyle
{
    esLF,
    esCRLF,
    esCR
};
// How an element without children is written: ncFull as "<a></a>", the others as "<a/>".
enum TNodeClosingStyle
{
    ncDefault,
    ncFull,
    ncClose
};

// Handler of the reading events: the document and the node concerned.
using TsdXmlNodeEvent = std::function<void(TNativeXml& sender, TXmlNode& node)>;

// A small XML document over expat, made for two uses: reading a file through node events
// while it is parsed, and building a fresh document to save in the readable layout.
//
// Reading: set OnNodeNew and OnNodeLoaded, then LoadFromFile. OnNodeNew fires for an element
// as soon as its start tag is read and it is attached to its parent (Name, Parent, TreeDepth
// valid); OnNodeLoaded after its end tag, when its value is complete. The text between two
// pieces of markup, trimmed of characters below code 33, becomes a character-data node when
// anything is left; both events fire for it back to back. Declarations, comments and
// processing instructions fire both events too.
//
// A load with a handler set keeps no tree: once a node's OnNodeLoaded has returned, the node
// is dropped (an element's value stays until the element itself is loaded), so handlers see
// a node, its value and its open ancestors, and a node given to a handler is not to be kept.
// A load without handlers keeps the whole tree.
//
// Inputs are bounded: a document larger than kMaxDocumentBytes, one holding more than
// kMaxHeldNodes nodes and attributes at once (the whole tree without handlers; the open
// elements with their values and attributes with them), elements nested deeper than
// kMaxDepth, or more than kMaxNames distinct names, stops loading with an error. So does a document
// type declaration: the documents read here need none, and refusing it keeps entity expansion out
// altogether.
//
// A document is used by one thread at a time; documents share nothing.
class TNativeXml
{
public:
    static constexpr qint64 kMaxDocumentBytes = 256 * 1024 * 1024;
    static constexpr std::size_t kMaxHeldNodes = 1000000;
    static constexpr std::size_t kMaxNames = 100000;
    static constexpr int kMaxDepth = 10000;

    TNativeXml();
    ~TNativeXml();
    TNativeXml(const TNativeXml&) = delete;
    TNativeXml& operator=(const TNativeXml&) = delete;

    // A new empty document.
    static std::unique_ptr<TNativeXml> Create();
    // A new document holding a declaration (version "1.0", encoding "utf-8") and a root
    // element with this name.
    static std::unique_ptr<TNativeXml> CreateName(const QByteArray& rootName);

    // Drops every node and the last load's error; options and handlers stay.
    void Clear();

    // The first top-level element, or none.
    TXmlNode* Root() const;
    // Top-level nodes in order: declaration, root and whatever else the file held.
    TXmlNode* FirstNode() const;

    TXmlFormat XmlFormat() const { return m_xmlFormat; }
    void SetXmlFormat(TXmlFormat format) { m_xmlFormat = format; }
    const QByteArray& IndentString() const { return m_indentString; }
    void SetIndentString(const QByteArray& indent) { m_indentString = indent; }
    TEolStyle EolStyle() const { return m_eolStyle; }
    void SetEolStyle(TEolStyle style) { m_eolStyle = style; }
    TNodeClosingStyle NodeClosingStyle() const { return m_nodeClosingStyle; }
    void SetNodeClosingStyle(TNodeClosingStyle style) { m_nodeClosingStyle = style; }
    bool WriteOnDefault() const { return m_writeOnDefault; }
    void SetWriteOnDefault(bool write) { m_writeOnDefault = write; }

    TsdXmlNodeEvent OnNodeNew;
    TsdXmlNodeEvent OnNodeLoaded;

    // Clears the document and parses the whole file, firing the events as it goes. Raises
    // EXmlException when the file cannot be opened or read. Malformed or refused content
    // (see the bounds above, and names that would not read back once saved as UTF-8) raises
    // nothing: the load stops there and returns false, the events delivered so far stand
    // and ErrorText says what was wrong. An exception from a handler stops the load and
    // leaves LoadFromFile. Nothing outside the document is ever read.
    bool LoadFromFile(const QString& fileName);
    // The same for a document in memory.
    bool LoadFromBytes(QByteArrayView bytes);
    // Why the last load stopped early ("line:column: reason"); empty after a whole load.
    const QString& ErrorText() const { return m_errorText; }

    // Writes the document as UTF-8 without byte-order mark. The file is replaced whole:
    // the new content is written beside it and renamed over it, so a failed save leaves the
    // previous file as it was. Raises EXmlException when the file cannot be written.
    void SaveToFile(const QString& fileName) const;
    QByteArray SaveToBytes() const;

private:
    friend class TXmlNode;
    friend class TXmlReader;

    struct Data;

    // Makes a node not yet linked anywhere; only elements take the name, the other kinds
    // get their fixed "#" name.
    TXmlNode* MakeNode(TsdElementType type, const TXmlNode::NameForms* name);
    // Makes a node and appends it to parent's children, or to the top level.
    TXmlNode* AddNode(TsdElementType type, const TXmlNode::NameForms* name, TXmlNode* parent);
    // Unlinks a node and gives it and whatever it still holds back for reuse.
    void Release(TXmlNode* node);
    // One shared copy per distinct name; none when the text cannot be written as an XML name.
    const TXmlNode::NameForms* InternName(std::string_view name);
    // The same, raising EXmlException for a name that cannot be written.
    const TXmlNode::NameForms* ElementName(QByteArrayView name);
    void CheckNotLoading(const char* operation) const;
    // Nodes in use and the attributes they carry, counted against kMaxHeldNodes.
    std::size_t& HeldCount();
    std::size_t NameCount() const;

    std::unique_ptr<Data> m_data;
    QString m_errorText;
    QByteArray m_indentString{"\t"};
    TXmlFormat m_xmlFormat = xfPreserve;
    TEolStyle m_eolStyle = esCRLF;
    TNodeClosingStyle m_nodeClosingStyle = ncClose;
    bool m_writeOnDefault = true;
    bool m_loading = false;
};

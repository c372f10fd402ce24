#pragma once

#include <QString>

#include "XmlNode.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <string>

struct XML_ParserStruct;
class TNativeXml;

// Runs expat over a document's bytes, growing the document and firing its node events as
// the markup arrives. Bytes may come in pieces of any size.
class TXmlReader
{
public:
    explicit TXmlReader(TNativeXml& document);
    ~TXmlReader();
    TXmlReader(const TXmlReader&) = delete;
    TXmlReader& operator=(const TXmlReader&) = delete;

    // Room for the next piece of input (expat's own buffer), or none when out of memory.
    char* Buffer(int size);
    // Parses `size` bytes placed in Buffer; `last` with the final piece. False once the
    // parse has stopped: malformed input or a handler that raised.
    bool ParseBuffer(int size, bool last);
    // The same for bytes held elsewhere.
    bool Parse(const char* data, int size, bool last);

    // "line:column: reason" of the fault that stopped the parse; empty while none did.
    const QString& ErrorText() const { return m_errorText; }
    // Raises again what a handler raised, if one did.
    void RethrowHandlerError() const;
    // Stops the parse as malformed input does, with this reason after "line:column: ".
    void Refuse(const QString& reason);

private:
    struct Callbacks;
    friend struct Callbacks;
    struct ParserFree
    {
        void operator()(XML_ParserStruct* parser) const;
    };

    bool Finish(int status);
    void FlushText();
    void StartElement(const char* name, const char** attributes);
    void EndElement();
    void Declaration(const char* version, const char* encoding, int standalone);
    void Comment(const char* text);
    void Instruction(const char* target, const char* data);
    void Other(TXmlNode* node);
    void FireNew(TXmlNode& node);
    void FireLoaded(TXmlNode& node);
    void Stop(std::exception_ptr error);
    // Room for count more nodes or attributes; refuses the document when there is none.
    bool Hold(std::size_t count);
    // The interned name, or none after refusing a name that could not be written back.
    const TXmlNode::NameForms* Name(const char* name);
    // The same for an element: first tries the guess of hint, then keeps the name found there.
    const TXmlNode::NameForms* ElementName(const char* name, const TXmlNode::NameForms*& hint);
    // Gives a node back once its events are over, when the load keeps no tree.
    void Drop(TXmlNode* node);

    TNativeXml& m_document;
    std::unique_ptr<XML_ParserStruct, ParserFree> m_parser;
    TXmlNode* m_current = nullptr; // the open element text belongs to; none at top level
    // The name of the last element closed inside m_current (or at top level) since it was
    // opened, none yet; and the guess of the first top-level element name.
    const TXmlNode::NameForms* m_previous = nullptr;
    const TXmlNode::NameForms* m_firstTopHint = nullptr;
    std::string m_text; // character data since the last markup
    std::exception_ptr m_handlerError;
    QString m_errorText;
    bool m_stopped = false;
    bool m_dropLoaded = false;
};

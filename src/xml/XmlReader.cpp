#include "XmlReader.h"

#include "NativeXml.h"
#include "XmlException.h"
#include "XmlText.h"

#include <expat.h>

#include <cstring>

// expat calls C functions; these hand each event to the reader and keep exceptions from
// unwinding through expat's frames.
struct TXmlReader::Callbacks
{
    template <typename Fn> static void Guard(void* userData, Fn&& fn)
    {
        auto* reader = static_cast<TXmlReader*>(userData);
        if (reader->m_stopped)
            return;
        try {
            fn(*reader);
        } catch (...) {
            reader->Stop(std::current_exception());
        }
    }

    static void XMLCALL Start(void* userData, const XML_Char* name, const XML_Char** attributes)
    {
        Guard(userData, [&](TXmlReader& r) { r.StartElement(name, attributes); });
    }
    static void XMLCALL End(void* userData, const XML_Char*)
    {
        Guard(userData, [](TXmlReader& r) { r.EndElement(); });
    }
    static void XMLCALL Text(void* userData, const XML_Char* text, int length)
    {
        Guard(userData, [&](TXmlReader& r) { r.m_text.append(text, static_cast<size_t>(length)); });
    }
    static void XMLCALL Declaration(void* userData, const XML_Char* version,
                                    const XML_Char* encoding, int standalone)
    {
        Guard(userData, [&](TXmlReader& r) { r.Declaration(version, encoding, standalone); });
    }
    static void XMLCALL DocType(void* userData, const XML_Char*, const XML_Char*, const XML_Char*,
                                int)
    {
        // Called once the name and any external id are read, before the internal subset:
        // nothing has been declared or expanded yet.
        Guard(userData, [](TXmlReader& r) {
            r.Refuse(QStringLiteral("document type declarations are not accepted"));
        });
    }
    static void XMLCALL Comment(void* userData, const XML_Char* text)
    {
        Guard(userData, [&](TXmlReader& r) { r.Comment(text); });
    }
    static void XMLCALL Instruction(void* userData, const XML_Char* target, const XML_Char* data)
    {
        Guard(userData, [&](TXmlReader& r) { r.Instruction(target, data); });
    }
};

void TXmlReader::ParserFree::operator()(XML_ParserStruct* parser) const
{
    XML_ParserFree(parser);
}

TXmlReader::TXmlReader(TNativeXml& document)
    : m_document(document), m_parser(XML_ParserCreate(nullptr))
{
    if (!m_parser)
        throw EXmlException("out of memory creating the XML parser");
    XML_Parser parser = m_parser.get();
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &Callbacks::Start, &Callbacks::End);
    XML_SetCharacterDataHandler(parser, &Callbacks::Text);
    XML_SetXmlDeclHandler(parser, &Callbacks::Declaration);
    XML_SetStartDoctypeDeclHandler(parser, &Callbacks::DocType);
    XML_SetCommentHandler(parser, &Callbacks::Comment);
    XML_SetProcessingInstructionHandler(parser, &Callbacks::Instruction);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    m_text.reserve(256);
    // A load with a handler keeps only what the handlers can still reach.
    m_dropLoaded = bool(document.OnNodeNew) || bool(document.OnNodeLoaded);
}

TXmlReader::~TXmlReader() = default;

char* TXmlReader::Buffer(int size)
{
    return static_cast<char*>(XML_GetBuffer(m_parser.get(), size));
}

bool TXmlReader::ParseBuffer(int size, bool last)
{
    if (m_stopped)
        return false;
    return Finish(XML_ParseBuffer(m_parser.get(), size, last));
}

bool TXmlReader::Parse(const char* data, int size, bool last)
{
    if (m_stopped)
        return false;
    return Finish(XML_Parse(m_parser.get(), data, size, last));
}

bool TXmlReader::Finish(int status)
{
    if (m_stopped)
        return false;
    if (status == XML_STATUS_ERROR) {
        XML_Parser parser = m_parser.get();
        m_errorText = QStringLiteral("%1:%2: %3")
                          .arg(XML_GetCurrentLineNumber(parser))
                          .arg(XML_GetCurrentColumnNumber(parser) + 1)
                          .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser))));
        m_stopped = true;
        return false;
    }
    return true;
}

void TXmlReader::RethrowHandlerError() const
{
    if (m_handlerError)
        std::rethrow_exception(m_handlerError);
}

void TXmlReader::Stop(std::exception_ptr error)
{
    m_handlerError = std::move(error);
    m_stopped = true;
    m_errorText = QStringLiteral("stopped by a handler");
    XML_StopParser(m_parser.get(), XML_FALSE);
}

void TXmlReader::Refuse(const QString& reason)
{
    if (m_stopped)
        return;
    XML_Parser parser = m_parser.get();
    m_errorText = QStringLiteral("%1:%2: %3")
                      .arg(XML_GetCurrentLineNumber(parser))
                      .arg(XML_GetCurrentColumnNumber(parser) + 1)
                      .arg(reason);
    m_stopped = true;
    XML_StopParser(parser, XML_FALSE);
}

bool TXmlReader::Hold(std::size_t count)
{
    if (m_document.HeldCount() + count <= TNativeXml::kMaxHeldNodes)
        return true;
    Refuse(
        QStringLiteral("more than %1 nodes and attributes to hold").arg(TNativeXml::kMaxHeldNodes));
    return false;
}

const TXmlNode::NameForms* TXmlReader::Name(const char* name)
{
    const TXmlNode::NameForms* forms = m_document.InternName(name);
    if (!forms) {
        // The input's own encoding may allow name characters UTF-8 documents do not.
        Refuse(QStringLiteral("the name \"%1\" would not read back once saved")
                   .arg(QString::fromUtf8(name)));
    } else if (m_document.NameCount() > TNativeXml::kMaxNames) {
        Refuse(QStringLiteral("more than %1 distinct names").arg(TNativeXml::kMaxNames));
        return nullptr;
    }
    return forms;
}

const TXmlNode::NameForms* TXmlReader::ElementName(const char* name,
                                                   const TXmlNode::NameForms*& hint)
{
    if (hint && std::strcmp(hint->utf8.constData(), name) == 0)
        return hint;
    const TXmlNode::NameForms* forms = Name(name);
    if (forms)
        hint = forms;
    return forms;
}

void TXmlReader::Drop(TXmlNode* node)
{
    if (m_dropLoaded && !m_stopped)
        m_document.Release(node);
}

void TXmlReader::FireNew(TXmlNode& node)
{
    if (m_document.OnNodeNew)
        m_document.OnNodeNew(m_document, node);
}

void TXmlReader::FireLoaded(TXmlNode& node)
{
    if (m_document.OnNodeLoaded)
        m_document.OnNodeLoaded(m_document, node);
}

void TXmlReader::FlushText()
{
    if (m_text.empty())
        return;
    const std::string_view core = xmltext::Trimmed(m_text);
    if (!core.empty() && m_current) {
        if (!Hold(1))
            return;
        TXmlNode* node = m_document.AddNode(xeCharData, nullptr, m_current);
        // Line breaks in the markup reach here as LF already; a CR comes from a character
        // reference only.
        if (std::memchr(core.data(), '\r', core.size()))
            node->m_value = xmltext::NormalisedLineBreaks(
                QByteArray(core.data(), static_cast<qsizetype>(core.size())));
        else
            node->m_value.append(core.data(), static_cast<qsizetype>(core.size()));
        FireNew(*node);
        if (m_stopped)
            return;
        FireLoaded(*node);
        // The first text is the element's value, wanted until the element is loaded.
        if (m_dropLoaded && m_current->FirstCharData() != node)
            Drop(node);
    }
    m_text.clear();
}

void TXmlReader::StartElement(const char* name, const char** attributes)
{
    FlushText();
    if (m_stopped)
        return;
    std::size_t attributeCount = 0;
    for (const char** attribute = attributes; attribute[0]; attribute += 2)
        ++attributeCount;
    if (m_current && m_current->TreeDepth() + 1 >= TNativeXml::kMaxDepth) {
        Refuse(QStringLiteral("elements nested deeper than %1").arg(TNativeXml::kMaxDepth));
        return;
    }
    const TXmlNode::NameForms*& hint =
        m_previous ? m_previous->nextSiblingHint
                   : (m_current ? m_current->m_name->firstChildHint : m_firstTopHint);
    const TXmlNode::NameForms* forms = ElementName(name, hint);
    if (!forms || !Hold(1 + attributeCount))
        return;
    TXmlNode* node = m_document.AddNode(xeElement, forms, m_current);
    node->m_attributes.reserve(attributeCount);
    for (const char** attribute = attributes; attribute[0]; attribute += 2) {
        const TXmlNode::NameForms* attributeName = Name(attribute[0]);
        if (!attributeName)
            return;
        node->m_attributes.emplace_back(attributeName->utf8,
                                        xmltext::NormalisedLineBreaks(QByteArray(attribute[1])));
        ++m_document.HeldCount();
    }
    m_current = node;
    m_previous = nullptr;
    FireNew(*node);
}

void TXmlReader::EndElement()
{
    FlushText();
    if (m_stopped || !m_current)
        return;
    TXmlNode* node = m_current;
    m_current = node->Parent();
    m_previous = node->m_name;
    FireLoaded(*node);
    Drop(node);
}

void TXmlReader::Other(TXmlNode* node)
{
    FireNew(*node);
    if (m_stopped)
        return;
    FireLoaded(*node);
    Drop(node);
}

void TXmlReader::Declaration(const char* version, const char* encoding, int standalone)
{
    // expat also reports the text declaration of an external entity; it never reads one.
    if (m_current || !Hold(4))
        return;
    TXmlNode* node = m_document.AddNode(xeDeclaration, nullptr, nullptr);
    auto add = [&](const char* name, const QByteArray& value) {
        node->m_attributes.emplace_back(QByteArray(name), value);
        ++m_document.HeldCount();
    };
    if (version)
        add("version", QByteArray(version));
    if (encoding)
        add("encoding", QByteArray(encoding));
    if (standalone >= 0)
        add("standalone", QByteArray(standalone ? "yes" : "no"));
    Other(node);
}

void TXmlReader::Comment(const char* text)
{
    FlushText();
    if (m_stopped || !Hold(1))
        return;
    TXmlNode* node = m_document.AddNode(xeComment, nullptr, m_current);
    node->m_value = QByteArray(text);
    Other(node);
}

void TXmlReader::Instruction(const char* target, const char* data)
{
    FlushText();
    if (m_stopped || !Name(target) || !Hold(1))
        return;
    TXmlNode* node = m_document.AddNode(xeInstruction, nullptr, m_current);
    node->m_value = QByteArray(target);
    if (data && *data) {
        node->m_value += ' ';
        node->m_value += data;
    }
    Other(node);
}

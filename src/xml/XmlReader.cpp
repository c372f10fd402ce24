#include "XmlReader.h"

#include "NativeXml.h"
#include "XmlException.h"
#include "XmlText.h"

// Debian's expat is built with DTD support, but its header only declares the entity
// expansion limits when told so.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>

namespace {

// Entity expansion may produce up to this much output freely; past it, at most
// kMaxAmplification times the input. Documents without their own entities stay near 1.
constexpr unsigned long long kAmplificationThreshold = 1024 * 1024;
constexpr float kMaxAmplification = 100.0f;

} // namespace

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
    static void XMLCALL DocType(void* userData, const XML_Char* name, const XML_Char*,
                                const XML_Char*, int)
    {
        Guard(userData, [&](TXmlReader& r) { r.DocType(name); });
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
    // No external DTD or entity is ever fetched; internal entities are bounded.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, kAmplificationThreshold);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, kMaxAmplification);
    m_text.reserve(256);
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
        TXmlNode* node = m_document.AddNode(xeCharData, {}, m_current);
        node->m_value = xmltext::NormalisedLineBreaks(
            QByteArray(core.data(), static_cast<qsizetype>(core.size())));
        FireNew(*node);
        if (m_stopped)
            return;
        FireLoaded(*node);
    }
    m_text.clear();
}

void TXmlReader::StartElement(const char* name, const char** attributes)
{
    FlushText();
    if (m_stopped)
        return;
    TXmlNode* node = m_document.AddNode(xeElement, name, m_current);
    for (const char** attribute = attributes; attribute[0]; attribute += 2) {
        node->m_attributes.emplace_back(QByteArray(attribute[0]),
                                        xmltext::NormalisedLineBreaks(QByteArray(attribute[1])));
    }
    m_current = node;
    FireNew(*node);
}

void TXmlReader::EndElement()
{
    FlushText();
    if (m_stopped || !m_current)
        return;
    TXmlNode* node = m_current;
    m_current = node->Parent();
    FireLoaded(*node);
}

void TXmlReader::Other(TXmlNode* node)
{
    FireNew(*node);
    if (!m_stopped)
        FireLoaded(*node);
}

void TXmlReader::Declaration(const char* version, const char* encoding, int standalone)
{
    // expat also reports the text declaration of an external entity; it never reads one.
    if (m_current)
        return;
    TXmlNode* node = m_document.AddNode(xeDeclaration, {}, nullptr);
    if (version)
        node->m_attributes.emplace_back(QByteArray("version"), QByteArray(version));
    if (encoding)
        node->m_attributes.emplace_back(QByteArray("encoding"), QByteArray(encoding));
    if (standalone >= 0)
        node->m_attributes.emplace_back(QByteArray("standalone"),
                                        QByteArray(standalone ? "yes" : "no"));
    Other(node);
}

void TXmlReader::DocType(const char* name)
{
    TXmlNode* node = m_document.AddNode(xeDocType, {}, nullptr);
    node->m_value = QByteArray(name);
    Other(node);
}

void TXmlReader::Comment(const char* text)
{
    FlushText();
    if (m_stopped)
        return;
    TXmlNode* node = m_document.AddNode(xeComment, {}, m_current);
    node->m_value = QByteArray(text);
    Other(node);
}

void TXmlReader::Instruction(const char* target, const char* data)
{
    FlushText();
    if (m_stopped)
        return;
    TXmlNode* node = m_document.AddNode(xeInstruction, {}, m_current);
    node->m_value = QByteArray(target);
    if (data && *data) {
        node->m_value += ' ';
        node->m_value += data;
    }
    Other(node);
}

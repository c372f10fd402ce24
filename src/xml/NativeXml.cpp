#include "NativeXml.h"

#include "XmlException.h"
#include "XmlReader.h"
#include "XmlText.h"
#include "XmlWriter.h"

#include <QFile>
#include <QSaveFile>

#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Nodes are made in blocks: a loaded file has millions of them, and a block that never
// grows keeps every node at its address.
constexpr size_t kNodesPerBlock = 4096;
// Bytes read from a file per parse step.
constexpr int kReadChunk = 256 * 1024;

struct NameHash
{
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

const TXmlNode::NameForms* KindName(TsdElementType type)
{
    static const TXmlNode::NameForms text{QByteArrayLiteral("#text"), QStringLiteral("#text")};
    static const TXmlNode::NameForms comment{QByteArrayLiteral("#comment"),
                                             QStringLiteral("#comment")};
    static const TXmlNode::NameForms declaration{QByteArrayLiteral("#declaration"),
                                                 QStringLiteral("#declaration")};
    static const TXmlNode::NameForms docType{QByteArrayLiteral("#doctype"),
                                             QStringLiteral("#doctype")};
    static const TXmlNode::NameForms instruction{QByteArrayLiteral("#instruction"),
                                                 QStringLiteral("#instruction")};
    switch (type) {
    case xeCharData:
        return &text;
    case xeComment:
        return &comment;
    case xeDeclaration:
        return &declaration;
    case xeDocType:
        return &docType;
    case xeInstruction:
    case xeElement:
        break;
    }
    return &instruction;
}

// Marks a load in progress, so handlers cannot clear or reload the document under it.
class LoadingScope
{
public:
    explicit LoadingScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~LoadingScope() { m_flag = false; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

struct TNativeXml::Data
{
    std::vector<std::vector<TXmlNode>> blocks;
    TXmlNode* firstTop = nullptr;
    TXmlNode* lastTop = nullptr;
    std::unordered_map<std::string, TXmlNode::NameForms, NameHash, std::equal_to<>> names;
};

TNativeXml::TNativeXml() : m_data(std::make_unique<Data>()) {}

TNativeXml::~TNativeXml() = default;

std::unique_ptr<TNativeXml> TNativeXml::Create()
{
    return std::make_unique<TNativeXml>();
}

std::unique_ptr<TNativeXml> TNativeXml::CreateName(const QByteArray& rootName)
{
    if (!xmltext::IsValidName(rootName))
        throw EXmlException("'" + rootName.toStdString() + "' is not a valid element name");
    auto document = Create();
    TXmlNode* declaration = document->AddNode(xeDeclaration, {}, nullptr);
    declaration->m_attributes.emplace_back(QByteArray("version"), QByteArray("1.0"));
    declaration->m_attributes.emplace_back(QByteArray("encoding"), QByteArray("utf-8"));
    document->AddNode(xeElement, {rootName.constData(), size_t(rootName.size())}, nullptr);
    return document;
}

void TNativeXml::CheckNotLoading(const char* operation) const
{
    if (m_loading)
        throw EXmlException(std::string(operation) + " is not allowed while the document loads");
}

void TNativeXml::Clear()
{
    CheckNotLoading("Clear");
    m_data = std::make_unique<Data>();
    m_errorText.clear();
}

TXmlNode* TNativeXml::FirstNode() const
{
    return m_data->firstTop;
}

TXmlNode* TNativeXml::Root() const
{
    for (TXmlNode* node = m_data->firstTop; node; node = node->m_next) {
        if (node->m_type == xeElement)
            return node;
    }
    return nullptr;
}

TXmlNode* TNativeXml::MakeNode(TsdElementType type, std::string_view name)
{
    auto& blocks = m_data->blocks;
    if (blocks.empty() || blocks.back().size() == blocks.back().capacity()) {
        blocks.emplace_back();
        blocks.back().reserve(kNodesPerBlock);
    }
    return &blocks.back().emplace_back(TXmlNode::Key{}, this, type,
                                       type == xeElement ? InternName(name) : KindName(type),
                                       nullptr);
}

TXmlNode* TNativeXml::AddNode(TsdElementType type, std::string_view name, TXmlNode* parent)
{
    TXmlNode* node = MakeNode(type, name);
    if (parent) {
        parent->Append(node);
    } else {
        if (m_data->lastTop)
            m_data->lastTop->m_next = node;
        else
            m_data->firstTop = node;
        m_data->lastTop = node;
    }
    return node;
}

const TXmlNode::NameForms* TNativeXml::InternName(std::string_view name)
{
    auto& names = m_data->names;
    auto found = names.find(name);
    if (found == names.end()) {
        const QByteArray utf8(name.data(), static_cast<qsizetype>(name.size()));
        found = names.emplace(std::string(name), TXmlNode::NameForms{utf8, QString::fromUtf8(utf8)})
                    .first;
    }
    return &found->second;
}

bool TNativeXml::LoadFromFile(const QString& fileName)
{
    CheckNotLoading("LoadFromFile");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EXmlException("cannot open " + fileName.toStdString() + ": " +
                            file.errorString().toStdString());
    Clear();
    LoadingScope loading(m_loading);
    TXmlReader reader(*this);
    for (;;) {
        char* buffer = reader.Buffer(kReadChunk);
        if (!buffer)
            throw EXmlException("out of memory reading " + fileName.toStdString());
        const qint64 size = file.read(buffer, kReadChunk);
        if (size < 0)
            throw EXmlException("cannot read " + fileName.toStdString() + ": " +
                                file.errorString().toStdString());
        if (!reader.ParseBuffer(static_cast<int>(size), size == 0) || size == 0)
            break;
    }
    m_errorText = reader.ErrorText();
    reader.RethrowHandlerError();
    return m_errorText.isEmpty();
}

bool TNativeXml::LoadFromBytes(QByteArrayView bytes)
{
    CheckNotLoading("LoadFromBytes");
    Clear();
    LoadingScope loading(m_loading);
    TXmlReader reader(*this);
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    // expat takes int lengths: hand over large documents in pieces.
    constexpr qsizetype kPiece = std::numeric_limits<int>::max() / 2;
    while (left > kPiece && reader.Parse(data, static_cast<int>(kPiece), false)) {
        data += kPiece;
        left -= kPiece;
    }
    if (left <= kPiece)
        reader.Parse(data, static_cast<int>(left), true);
    m_errorText = reader.ErrorText();
    reader.RethrowHandlerError();
    return m_errorText.isEmpty();
}

QByteArray TNativeXml::SaveToBytes() const
{
    return TXmlWriter(*this).Write();
}

void TNativeXml::SaveToFile(const QString& fileName) const
{
    const QByteArray bytes = SaveToBytes();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EXmlException("cannot create " + fileName.toStdString() + ": " +
                            file.errorString().toStdString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EXmlException("cannot write " + fileName.toStdString() + ": " +
                            file.errorString().toStdString());
}

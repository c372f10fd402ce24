#include "NativeXml.h"

#include "XmlException.h"
#include "XmlReader.h"
#include "XmlText.h"
#include "XmlWriter.h"
#include "base/WholeFileSave.h"

#include <QFile>

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
    std::vector<TXmlNode*> released;  // nodes ready for reuse
    std::vector<TXmlNode*> releasing; // work list of Release
    std::size_t held = 0;             // nodes in use and the attributes they carry
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
    auto document = Create();
    const TXmlNode::NameForms* name = document->ElementName(rootName);
    TXmlNode* declaration = document->AddNode(xeDeclaration, nullptr, nullptr);
    declaration->m_attributes.emplace_back(QByteArray("version"), QByteArray("1.0"));
    declaration->m_attributes.emplace_back(QByteArray("encoding"), QByteArray("utf-8"));
    document->AddNode(xeElement, name, nullptr);
    return document;
}

void TNativeXml::CheckNotLoading(const char* operation) const
{
    if (m_loading)
        throw EXmlException(std::string(operation) + " is not allowed while the document loads");
}

std::size_t& TNativeXml::HeldCount()
{
    return m_data->held;
}

std::size_t TNativeXml::NameCount() const
{
    return m_data->names.size();
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

TXmlNode* TNativeXml::MakeNode(TsdElementType type, const TXmlNode::NameForms* name)
{
    if (type != xeElement)
        name = KindName(type);
    ++m_data->held;
    if (!m_data->released.empty()) {
        TXmlNode* node = m_data->released.back();
        m_data->released.pop_back();
        node->Reset(type, name);
        return node;
    }
    auto& blocks = m_data->blocks;
    if (blocks.empty() || blocks.back().size() == blocks.back().capacity()) {
        blocks.emplace_back();
        blocks.back().reserve(kNodesPerBlock);
    }
    return &blocks.back().emplace_back(TXmlNode::Key{}, this, type, name, nullptr);
}

TXmlNode* TNativeXml::AddNode(TsdElementType type, const TXmlNode::NameForms* name,
                              TXmlNode* parent)
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

void TNativeXml::Release(TXmlNode* node)
{
    // Unlink it; during a load the nodes released are the last of their parent's few.
    TXmlNode* parent = node->m_parent;
    TXmlNode*& first = parent ? parent->m_firstChild : m_data->firstTop;
    TXmlNode*& last = parent ? parent->m_lastChild : m_data->lastTop;
    TXmlNode* before = nullptr;
    for (TXmlNode* at = first; at != node; at = at->m_next) {
        if (!at)
            return; // not linked here
        before = at;
    }
    (before ? before->m_next : first) = node->m_next;
    if (last == node)
        last = before;
    node->m_next = nullptr;

    // Give back the node and everything below it, without recursion.
    std::vector<TXmlNode*>& pending = m_data->releasing;
    pending.push_back(node);
    while (!pending.empty()) {
        TXmlNode* at = pending.back();
        pending.pop_back();
        for (TXmlNode* child = at->m_firstChild; child; child = child->m_next)
            pending.push_back(child);
        m_data->held -= 1 + at->m_attributes.size();
        at->Reset(xeCharData, KindName(xeCharData));
        m_data->released.push_back(at);
    }
}

const TXmlNode::NameForms* TNativeXml::InternName(std::string_view name)
{
    auto& names = m_data->names;
    auto found = names.find(name);
    if (found == names.end()) {
        const QByteArray utf8(name.data(), static_cast<qsizetype>(name.size()));
        if (!xmltext::IsValidName(utf8))
            return nullptr;
        found = names.emplace(std::string(name), TXmlNode::NameForms{utf8, QString::fromUtf8(utf8)})
                    .first;
    }
    return &found->second;
}

const TXmlNode::NameForms* TNativeXml::ElementName(QByteArrayView name)
{
    const TXmlNode::NameForms* forms = InternName({name.data(), size_t(name.size())});
    if (!forms)
        throw EXmlException("'" + name.toByteArray().toStdString() +
                            "' is not a valid element name");
    return forms;
}

bool TNativeXml::LoadFromFile(const QString& fileName)
{
    CheckNotLoading("LoadFromFile");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EXmlException("cannot open " + fileName.toStdString() + ": " +
                            file.errorString().toStdString());
    Clear();
    if (file.size() > kMaxDocumentBytes) {
        m_errorText = QStringLiteral("the document is larger than %1 MiB")
                          .arg(kMaxDocumentBytes / (1024 * 1024));
        return false;
    }
    LoadingScope loading(m_loading);
    TXmlReader reader(*this);
    qint64 total = 0;
    for (;;) {
        char* buffer = reader.Buffer(kReadChunk);
        if (!buffer)
            throw EXmlException("out of memory reading " + fileName.toStdString());
        const qint64 size = file.read(buffer, kReadChunk);
        if (size < 0)
            throw EXmlException("cannot read " + fileName.toStdString() + ": " +
                                file.errorString().toStdString());
        // A file that grows while it is read is held to the same bound.
        total += size;
        if (total > kMaxDocumentBytes) {
            reader.Refuse(QStringLiteral("the document is larger than %1 MiB")
                              .arg(kMaxDocumentBytes / (1024 * 1024)));
            break;
        }
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
    if (bytes.size() > kMaxDocumentBytes) {
        m_errorText = QStringLiteral("the document is larger than %1 MiB")
                          .arg(kMaxDocumentBytes / (1024 * 1024));
        return false;
    }
    LoadingScope loading(m_loading);
    TXmlReader reader(*this);
    reader.Parse(bytes.data(), static_cast<int>(bytes.size()), true);
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
    const QString error = SaveFileWhole(fileName, bytes);
    if (!error.isEmpty())
        throw EXmlException("cannot write " + fileName.toStdString() + ": " + error.toStdString());
}

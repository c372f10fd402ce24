// Feeds arbitrary bytes to the XML loader as a file, touching every node the way the
// program's handlers do. A document that loads whole must also load whole without handlers
// (keeping its tree), and that tree must save and reload to the very same bytes, so the
// writer never produces a file the reader takes differently.
#include "xml/NativeXml.h"
#include "xml/XmlException.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void TouchNode(TXmlNode& node)
{
    volatile qsizetype sink = node.TreeDepth() + node.Name().size();
    sink = sink + node.ValueUnicode().size();
    try {
        sink = sink + node.ValueAsInteger();
    } catch (const EXmlException&) {
    }
    if (node.Parent())
        sink = sink + node.Parent()->TreeDepth();
}

QString FilePath()
{
    static const QString path = QDir::temp().filePath(
        QStringLiteral("fuzz_xml_load_%1.xml").arg(QCoreApplication::applicationPid()));
    return path;
}

void RemoveFile()
{
    QFile::remove(FilePath());
}

QByteArray Resave(TNativeXml& xml)
{
    xml.SetXmlFormat(xfReadable);
    return xml.SaveToBytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The path's static is made first, so it is destroyed after the clean-up has run.
    const QString path = FilePath();
    static const bool cleanup = std::atexit(RemoveFile) == 0;
    (void)cleanup;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    TNativeXml xml;
    xml.OnNodeNew = [](TNativeXml&, TXmlNode& node) {
        TouchNode(node);
    };
    xml.OnNodeLoaded = [](TNativeXml&, TXmlNode& node) {
        TouchNode(node);
    };
    if (!xml.LoadFromFile(path))
        return 0;
    if (xml.Root())
        std::abort(); // a load with handlers keeps no tree

    TNativeXml tree;
    if (!tree.LoadFromFile(path)) {
        // A whole tree may hold more nodes than the open elements of a handler load.
        if (tree.ErrorText().contains(QLatin1String("nodes and attributes to hold")))
            return 0;
        std::fprintf(stderr, "loads with handlers, not without: %s\n",
                     qPrintable(tree.ErrorText()));
        std::abort();
    }
    const QByteArray saved = Resave(tree);
    TNativeXml again;
    if (!again.LoadFromBytes(saved)) {
        std::fprintf(stderr, "saved document does not load: %s\n%s\n",
                     qPrintable(again.ErrorText()), saved.constData());
        std::abort();
    }
    if (Resave(again) != saved) {
        std::fprintf(stderr, "saving is not stable:\n%s\n---\n%s\n", saved.constData(),
                     Resave(again).constData());
        std::abort();
    }
    return 0;
}

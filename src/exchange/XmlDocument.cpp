#include "XmlDocument.h"
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <functional>

namespace exchange {

namespace {

constexpr qint64 kReadChunk = 1 << 16;
// Longest reference name the scan looks at; longer ones are no declared entity's.
constexpr qsizetype kMaxReferenceName = 1024;

[[noreturn]] void fail(const QString &text, qint64 line, qint64 column)
{
    throw XmlDocumentError(QStringLiteral("XML 檔案格式錯誤：%1\n\r第 %2 行，第 %3 欄").arg(text).arg(line).arg(column));
}

[[noreturn]] void failExpansion(qint64 limit)
{
    throw XmlDocumentError(
        QStringLiteral("XML 檔案的實體展開超過上限 (%1 個字元)，不予載入!!").arg(limit));
}

// Calls `reference` with the name of every "&name;" in the text (character references
// included; they are no declared entity's name).
void forEachReference(QStringView text, const std::function<void(QStringView)> &reference)
{
    for (qsizetype amp = text.indexOf(QLatin1Char('&')); amp >= 0; amp = text.indexOf(QLatin1Char('&'), amp + 1)) {
        const qsizetype semi = text.indexOf(QLatin1Char(';'), amp + 1);
        if (semi < 0)
            return;
        if (semi - amp - 1 <= kMaxReferenceName)
            reference(text.mid(amp + 1, semi - amp - 1));
    }
}

// The length each declared general entity expands to, references to other declared
// entities expanded; an entity longer than the limit (or defined through itself) fails.
QHash<QString, qint64> expandedLengths(const QXmlStreamEntityDeclarations &declarations)
{
    QHash<QString, QString> values;
    for (const QXmlStreamEntityDeclaration &d : declarations)
        if (!values.contains(d.name().toString()))
            values.insert(d.name().toString(), d.value().toString());
    QHash<QString, qint64> lengths;
    QHash<QString, bool> inProgress;
    std::function<qint64(const QString &)> lengthOf = [&](const QString &name) -> qint64 {
        if (const auto known = lengths.constFind(name); known != lengths.constEnd())
            return *known;
        if (inProgress.value(name))
            failExpansion(XmlDocument::kMaxEntityExpansion);
        inProgress.insert(name, true);
        const QString &value = values[name];
        qint64 length = value.size();
        forEachReference(value, [&](QStringView inner) {
            const QString innerName = inner.toString();
            if (values.contains(innerName))
                length += lengthOf(innerName) - (inner.size() + 2);
            if (length > XmlDocument::kMaxEntityExpansion)
                failExpansion(XmlDocument::kMaxEntityExpansion);
        });
        if (length > XmlDocument::kMaxEntityExpansion)
            failExpansion(XmlDocument::kMaxEntityExpansion);
        inProgress.insert(name, false);
        lengths.insert(name, length);
        return length;
    };
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        lengthOf(it.key());
    return lengths;
}

// Adds up what every reference in the file would expand to, reading the file as a
// stream of decoded text, and fails once the sum passes the limit. The reader itself
// would build all of that text in memory before reporting it.
void checkTotalExpansion(const QString &fileName, const QHash<QString, qint64> &lengths)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw XmlDocumentError(file.errorString());
    QByteArray chunk = file.read(kReadChunk);
    QStringDecoder decoder(QStringConverter::encodingForData(chunk).value_or(QStringConverter::Utf8));
    qint64 total = 0;
    QString pending; // text from the last unfinished reference on
    while (!chunk.isEmpty()) {
        QString text = pending + QString(decoder.decode(chunk));
        forEachReference(text, [&](QStringView name) {
            total += lengths.value(name.toString(), 0);
            if (total > XmlDocument::kMaxTotalExpansion)
                failExpansion(XmlDocument::kMaxTotalExpansion);
        });
        const qsizetype lastAmp = text.lastIndexOf(QLatin1Char('&'));
        const bool unfinished = lastAmp >= 0 && text.indexOf(QLatin1Char(';'), lastAmp) < 0 &&
                                text.size() - lastAmp <= kMaxReferenceName;
        pending = unfinished ? text.mid(lastAmp) : QString();
        chunk = file.read(kReadChunk);
    }
}

} // namespace

void XmlDocument::clear()
{
    fileName_.clear();
    rootName_.clear();
    elementCount_ = 0;
}

void XmlDocument::loadFromFile(const QString &fileName)
{
    clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw XmlDocumentError(QStringLiteral("無法開啟 \"%1\"：%2").arg(fileName, file.errorString()));
    QXmlStreamReader reader(&file);
    reader.setEntityExpansionLimit(int(kMaxEntityExpansion));
    QString root;
    qint64 elements = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            if (!reader.entityDeclarations().isEmpty())
                checkTotalExpansion(fileName, expandedLengths(reader.entityDeclarations()));
            break;
        case QXmlStreamReader::StartElement:
            if (elements++ == 0)
                root = reader.qualifiedName().toString();
            break;
        default:
            break;
        }
    }
    // The reader counts columns from 0; people and editors from 1.
    if (reader.hasError())
        fail(reader.errorString(), reader.lineNumber(), reader.columnNumber() + 1);
    fileName_ = fileName;
    rootName_ = root;
    elementCount_ = elements;
}

} // namespace exchange

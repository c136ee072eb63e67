#pragma once
// The window's XML document: "載入XML檔案" parses a file into it and nothing reads it
// afterwards. The file is read as a stream with Qt's XML reader, so a huge file costs
// only what the reader holds at once; the document keeps the name of the file and what
// it found in it. External entities are never fetched (the reader leaves them
// unresolved), and the expansion of internal entities is bounded: one entity may not
// expand beyond kMaxEntityExpansion characters and all references of a file together
// beyond kMaxTotalExpansion, so a "billion laughs" file or one that repeats a large
// entity fails at once, before any expansion takes memory.
#include <QString>
#include <stdexcept>

namespace exchange {

class XmlDocumentError : public std::runtime_error {
public:
    explicit XmlDocumentError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

class XmlDocument {
public:
    static constexpr qint64 kMaxEntityExpansion = 4096;
    static constexpr qint64 kMaxTotalExpansion = 1 << 20;

    // Parses the file. A file that cannot be read or is not well-formed throws
    // XmlDocumentError with the reader's own text and the line and column where it
    // stopped; the document then holds nothing.
    void loadFromFile(const QString &fileName);
    void clear();

    bool isLoaded() const { return !fileName_.isEmpty(); }
    QString fileName() const { return fileName_; }
    QString rootName() const { return rootName_; }
    qint64 elementCount() const { return elementCount_; }

private:
    QString fileName_;
    QString rootName_;
    qint64 elementCount_ = 0;
};

} // namespace exchange

#pragma once
// One INI file read once: its lines in memory, with an index of sections and keys, so
// that every read of an operation costs a lookup instead of another pass over the
// file. Reading and listing follow the rules of IniFile.h; IniFile loads a document per
// call, and a caller that reads many values (a whole profile) takes one document
// (IniFile::Snapshot) and reads them all from it.
//
// The text keeps every byte of the file (TextFileEncoding.h), so a document written
// back after a change differs from the file only where it was changed.
#include "TextFileEncoding.h"
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(DecodedText file);

    // The file's document; empty when the file does not exist, nullopt when it exists
    // but cannot be read.
    static std::optional<IniDocument> load(const QString &path);
    // As load, an unreadable file reading as empty.
    static IniDocument loadOrEmpty(const QString &path);

    TextEncoding encoding() const { return file_.encoding; }
    QByteArray bytes() const; // the file's content, in its encoding

    // --- reads (IniFile.h) ------------------------------------------------------------
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    QByteArray ReadRawString(const QString &section, const QString &key, const QByteArray &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;
    QStringList ReadSections() const;
    QStringList ReadSection(const QString &section) const;
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // --- changes --------------------------------------------------------------------
    // Writes a value (IniFile::WriteString); IniValueError for a line break or NUL in
    // the section, key or value.
    void setValue(const QString &section, const QString &key, const QString &value);
    // A value as bytes of the code page as they stand (IniFile::WriteRawString);
    // IniValueError also when the file's encoding cannot give them back (holdsRawExactly).
    void setRawValue(const QString &section, const QString &key, const QByteArray &value);
    // Whether a raw value reads back byte for byte from a file in this encoding. Always
    // so but in UTF-8, where two bytes that are no character in the code page can
    // together be one character of UTF-8.
    bool holdsRawExactly(const QByteArray &value) const;
    // Removes every copy of the section; false when there was none.
    bool eraseSection(const QString &section);
    // Removes every copy of the key from the section's first copy; false when none.
    bool deleteKey(const QString &section, const QString &key);

private:
    struct Line {
        QString text;
        QString eol;
    };
    struct Section {
        qsizetype header; // line of "[name]"
        qsizetype end;    // line after its last line
    };
    struct Index {
        std::vector<Section> sections; // every copy, in file order
        std::vector<QString> names;    // as written, parallel to sections
        QHash<QString, qsizetype> first; // folded name -> first copy
        // Folded key -> first line, built for a section when it is first searched.
        mutable QHash<qsizetype, QHash<QString, qsizetype>> keys;
    };

    const Index &index() const;
    void changed() { index_.reset(); }
    std::optional<Section> findSection(const QString &section) const;
    const QHash<QString, qsizetype> &keysOf(qsizetype sectionIndex) const;
    std::optional<QStringView> rawValue(const QString &section, const QString &key) const;

    DecodedText file_; // text emptied once split into lines_
    std::vector<Line> lines_;
    mutable std::optional<Index> index_;
};

} // namespace platform

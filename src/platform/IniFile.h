#pragma once
// INI files with Windows profile semantics: section and key names compare without
// regard to case; a write creates the file, section or key as needed and replaces a
// value in place; a new key goes to the end of its section and a new section to the end
// of the file; values read back trimmed, without enclosing quotes, at most 2047
// characters, a value ending at a NUL; a section name runs to the last "]" of its line.
// Every write goes to disk at once, through a copy of the file renamed over it, so a
// failed write never leaves the file half-written.
//
// The file's encoding is told by its byte-order mark (UTF-16 little- or big-endian,
// UTF-8; without one code page 950, Big5) and a write keeps it; a new file is Big5.
// Bytes that are no character in that encoding are kept as they stand.
//
// Lines without "=" and lines before the first section are kept but ignored; of
// duplicate sections or keys the first one is read and written (erasing a section
// removes every copy of it); listings name each section or key once. An unreadable file
// reads as empty, and so does anything that is not a regular file; a write to it, to a
// read-only file or in a missing folder raises IniWriteError. A section, key or value
// holding a line break or NUL raises IniValueError before anything is written.
//
// Each call reads the file once; a caller with many reads takes a Snapshot and reads
// from it, and a caller with many changes makes them in one Update.
#include "IniDocument.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

namespace platform {

// "Unable to write to %s" with the file's path; reason() is why, in the system's words
// (empty when the system gave none).
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const QString &path, int errorCode = 0);
    const QString &message() const { return message_; }
    const QString &reason() const { return reason_; }

private:
    QString message_;
    QString reason_;
};

// A section, key or value that an INI line cannot carry (a line break or NUL).
class IniValueError : public std::invalid_argument {
public:
    explicit IniValueError(const QString &text);
};

class IniFile {
public:
    explicit IniFile(const QString &fileName);
    const QString &FileName() const { return fileName_; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Integers as Windows reads them: decimal or "0x" hexadecimal; empty or unreadable
    // text gives the default.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value); // "1" / "0"

    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);
    QStringList ReadSections() const;                      // in file order
    QStringList ReadSection(const QString &section) const; // key names in file order
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // A value as the bytes that stand in the file (trimmed, enclosing quotes removed, at
    // most 2047 bytes), and a write of bytes as they stand, for values that are not text
    // in the code page (a scrambled password).
    QByteArray ReadRawString(const QString &section, const QString &key, const QByteArray &defaultValue) const;
    void WriteRawString(const QString &section, const QString &key, const QByteArray &value);

    // The file as it stands now, read once.
    IniDocument Snapshot() const;
    // Several changes in one write: `change` edits the file's document and returns
    // whether it changed anything; the document is written back only then. An error
    // thrown by `change` leaves the file as it was.
    void Update(const std::function<bool(IniDocument &)> &change);

    // Permission bits (for example 0600) given to the file when a write creates it;
    // -1, the default, means 0666 less the process umask. An existing file keeps its own.
    void setNewFileMode(int unixMode) { newFileMode_ = unixMode; }
    int newFileMode() const { return newFileMode_; }
    // After every write the file is readable and writable by its owner alone (0600),
    // whatever mode it had before: for files that hold a password.
    void setOwnerOnly(bool ownerOnly) { ownerOnly_ = ownerOnly; }
    bool ownerOnly() const { return ownerOnly_; }

    // Longest value a read returns.
    static constexpr int kMaxValueLength = 2047;

private:
    QString fileName_;
    int newFileMode_ = -1;
    bool ownerOnly_ = false;
};

} // namespace platform

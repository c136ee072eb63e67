#pragma once
// INI files with Windows profile semantics, stored in code page 950 (Big5): section and
// key names compare without regard to case; a write creates the file, section or key as
// needed and replaces a value in place; a new key goes to the end of its section and a
// new section to the end of the file; values read back trimmed, without enclosing
// quotes, at most 2047 characters. Every write goes to disk at once.
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace platform {

// "Unable to write to %s" with the file's path.
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const QString &path);
    const QString &message() const { return message_; }

private:
    QString message_;
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

private:
    QString fileName_;
};

} // namespace platform

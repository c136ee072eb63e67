#include "IniFile.h"
#include "Big5Codec.h"
#include "FileAttributes.h"
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

IniWriteError::IniWriteError(const QString &path)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString()),
      message_(QStringLiteral("Unable to write to %1").arg(path))
{
}

namespace {

struct Line {
    QByteArray text;
    QByteArray eol;
};

const QByteArray kCrLf("\r\n");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray &bytes)
{
    qsizetype b = 0, e = bytes.size();
    while (b < e && isBlank(bytes.at(b)))
        ++b;
    while (e > b && isBlank(bytes.at(e - 1)))
        --e;
    return bytes.mid(b, e - b);
}

// Position of an ASCII character, stepping over Big5 double-byte characters, whose
// second byte may be "]" (0x5D) or other ASCII punctuation.
qsizetype indexOfAscii(const QByteArray &bytes, char wanted)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar c = uchar(bytes.at(i));
        if (c == uchar(wanted))
            return i;
        if (c >= 0x81 && c <= 0xFE && i + 1 < bytes.size())
            ++i;
    }
    return -1;
}

std::optional<QString> sectionOf(const Line &line)
{
    const QByteArray t = trimBlanks(line.text);
    if (!t.startsWith('['))
        return std::nullopt;
    qsizetype close = indexOfAscii(t, ']');
    if (close < 0)
        close = t.size();
    return big5Decode(trimBlanks(t.mid(1, close - 1)));
}

std::optional<QString> keyOf(const Line &line)
{
    const QByteArray t = trimBlanks(line.text);
    if (t.startsWith('['))
        return std::nullopt;
    const qsizetype eq = indexOfAscii(t, '=');
    if (eq <= 0)
        return std::nullopt;
    const QByteArray key = trimBlanks(t.left(eq));
    if (key.isEmpty())
        return std::nullopt;
    return big5Decode(key);
}

QByteArray valueOf(const Line &line)
{
    const qsizetype eq = indexOfAscii(line.text, '=');
    QByteArray v = trimBlanks(line.text.mid(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::vector<Line> splitLines(const QByteArray &bytes)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && bytes.at(i) != '\n' && bytes.at(i) != '\r')
            ++i;
        Line line{bytes.mid(start, i - start), {}};
        if (i < n) {
            const qsizetype eolLength = (bytes.at(i) == '\r' && i + 1 < n && bytes.at(i + 1) == '\n') ? 2 : 1;
            line.eol = bytes.mid(i, eolLength);
            i += eolLength;
        }
        lines.push_back(std::move(line));
        start = i;
    }
    return lines;
}

// Lines of the file; nullopt when it exists but cannot be read.
std::optional<std::vector<Line>> loadLines(const QString &path)
{
    QFile f(path);
    if (!f.exists())
        return std::vector<Line>{};
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return splitLines(f.readAll());
}

std::vector<Line> readLines(const QString &path)
{
    auto lines = loadLines(path);
    return lines ? std::move(*lines) : std::vector<Line>{};
}

// [first, end) of the first copy of the section (first = header line); nullopt if absent.
std::optional<std::pair<size_t, size_t>> findSection(const std::vector<Line> &lines, const QString &section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines[i]);
        if (!name || !sameName(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !sectionOf(lines[end]))
            ++end;
        return std::make_pair(i, end);
    }
    return std::nullopt;
}

std::optional<size_t> findKey(const std::vector<Line> &lines, std::pair<size_t, size_t> range, const QString &key)
{
    for (size_t i = range.first + 1; i < range.second; ++i) {
        const auto name = keyOf(lines[i]);
        if (name && sameName(*name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<QByteArray> lookup(const QString &path, const QString &section, const QString &key)
{
    const auto lines = readLines(path);
    const auto range = findSection(lines, section);
    if (!range)
        return std::nullopt;
    const auto at = findKey(lines, *range, key);
    if (!at)
        return std::nullopt;
    return valueOf(lines[*at]);
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Replaces the file by the lines through a temporary copy in the same folder, renamed
// over it, so readers see the old or the new file and never a part of one.
void saveLines(const QString &path, const std::vector<Line> &lines, int newFileMode)
{
    const QFileInfo info(path);
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (exists) {
        // Read-only means no write permission for anybody, also for a superuser, who
        // would otherwise be let through.
        if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(native.constData(), W_OK) != 0)
            throw IniWriteError(path);
    }
    QByteArray bytes;
    for (const Line &line : lines)
        bytes += line.text + line.eol;

    QByteArray tempName = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName() +
                                            QLatin1String(".XXXXXX"));
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        throw IniWriteError(path);
    bool ok = true;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    const QString temp = QFile::decodeName(tempName);
    if (ok) {
        if (exists)
            ok = copyFileAttributes(path, temp);
        else
            ok = ::chmod(tempName.constData(),
                         newFileMode >= 0 ? mode_t(newFileMode) : (0666 & ~currentUmask())) == 0;
    }
    ok = ok && ::rename(tempName.constData(), native.constData()) == 0;
    if (!ok) {
        ::unlink(tempName.constData());
        throw IniWriteError(path);
    }
}

std::vector<Line> linesForWrite(const QString &path)
{
    auto lines = loadLines(path);
    if (!lines)
        throw IniWriteError(path);
    return std::move(*lines);
}

void writeValue(const QString &path, int newFileMode, const QString &section, const QString &key,
                const QByteArray &value)
{
    std::vector<Line> lines = linesForWrite(path);
    const QByteArray keyBytes = big5Encode(key);
    const auto range = findSection(lines, section);
    if (!range) {
        if (!lines.empty() && lines.back().eol.isEmpty())
            lines.back().eol = kCrLf;
        lines.push_back({'[' + big5Encode(section) + ']', kCrLf});
        lines.push_back({keyBytes + '=' + value, kCrLf});
    } else if (const auto at = findKey(lines, *range, key)) {
        // The value is replaced; the key keeps the spelling and indentation it has.
        Line &line = lines[*at];
        line.text = line.text.left(indexOfAscii(line.text, '=') + 1) + value;
    } else {
        size_t insertAt = range->first + 1;
        for (size_t i = range->first + 1; i < range->second; ++i)
            if (!trimBlanks(lines[i].text).isEmpty())
                insertAt = i + 1;
        if (lines[insertAt - 1].eol.isEmpty())
            lines[insertAt - 1].eol = kCrLf;
        lines.insert(lines.begin() + qsizetype(insertAt), Line{keyBytes + '=' + value, kCrLf});
    }
    saveLines(path, lines, newFileMode);
}

std::optional<int> parseInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else if (t.startsWith(QLatin1String("-0x"), Qt::CaseInsensitive)) {
        v = -t.mid(3).toLongLong(&ok, 16);
    } else
        v = t.toLongLong(&ok, 10);
    // Hexadecimal up to eight digits wraps to a negative number as in 32-bit code.
    if (!ok || v < -2147483648LL || v > 0xFFFFFFFFLL)
        return std::nullopt;
    return int(qint32(quint32(v)));
}

} // namespace

IniFile::IniFile(const QString &fileName) : fileName_(fileName) {}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const auto value = lookup(fileName_, section, key);
    if (!value)
        return defaultValue.left(kMaxValueLength);
    return big5Decode(*value).left(kMaxValueLength);
}

QByteArray IniFile::ReadRawString(const QString &section, const QString &key, const QByteArray &defaultValue) const
{
    const auto value = lookup(fileName_, section, key);
    return (value ? *value : defaultValue).left(kMaxValueLength);
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const auto value = parseInteger(ReadString(section, key, QString()));
    return value ? *value : defaultValue;
}

bool IniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    writeValue(fileName_, newFileMode_, section, key, big5Encode(value));
}

void IniFile::WriteRawString(const QString &section, const QString &key, const QByteArray &value)
{
    writeValue(fileName_, newFileMode_, section, key, value);
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::EraseSection(const QString &section)
{
    std::vector<Line> lines = linesForWrite(fileName_);
    bool changed = false;
    while (const auto range = findSection(lines, section)) {
        lines.erase(lines.begin() + qsizetype(range->first), lines.begin() + qsizetype(range->second));
        changed = true;
    }
    if (changed)
        saveLines(fileName_, lines, newFileMode_);
}

void IniFile::DeleteKey(const QString &section, const QString &key)
{
    std::vector<Line> lines = linesForWrite(fileName_);
    const auto range = findSection(lines, section);
    if (!range)
        return;
    bool changed = false;
    for (size_t i = range->second; i-- > range->first + 1;) {
        const auto name = keyOf(lines[i]);
        if (name && sameName(*name, key)) {
            lines.erase(lines.begin() + qsizetype(i));
            changed = true;
        }
    }
    if (changed)
        saveLines(fileName_, lines, newFileMode_);
}

QStringList IniFile::ReadSections() const
{
    QStringList names;
    for (const Line &line : readLines(fileName_)) {
        const auto name = sectionOf(line);
        if (name && !names.contains(*name, Qt::CaseInsensitive))
            names << *name;
    }
    return names;
}

QStringList IniFile::ReadSection(const QString &section) const
{
    const auto lines = readLines(fileName_);
    QStringList keys;
    const auto range = findSection(lines, section);
    if (!range)
        return keys;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        const auto name = keyOf(lines[i]);
        if (name && !keys.contains(*name, Qt::CaseInsensitive))
            keys << *name;
    }
    return keys;
}

bool IniFile::SectionExists(const QString &section) const
{
    return findSection(readLines(fileName_), section).has_value();
}

bool IniFile::ValueExists(const QString &section, const QString &key) const
{
    return lookup(fileName_, section, key).has_value();
}

} // namespace platform

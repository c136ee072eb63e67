#include "IniDocument.h"
#include "Big5Codec.h"
#include "IniFile.h"
#include <QFile>
#include <QSet>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimBlanks(QStringView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    return text.sliced(b, e - b);
}

bool holdsKeptBytes(QStringView text)
{
    for (QChar c : text)
        if (isKeptByte(c.unicode()))
            return true;
    return false;
}

// Text as reads give it: bytes that are no character read as U+FFFD, pairs of them as
// their character.
QString readable(QStringView text)
{
    return holdsKeptBytes(text) ? big5Decode(big5EncodeKeeping(text)) : text.toString();
}

// Names compare as they read, without regard to case. The file's names lose the blanks
// around them when read, so a name asked for (a table called " lead") does too.
QString fold(QStringView name)
{
    return readable(trimBlanks(name)).toCaseFolded();
}

std::optional<QStringView> sectionName(QStringView line)
{
    const QStringView t = trimBlanks(line);
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    // Up to the last "]", so that a name holding "]" (an IPv6 address) reads back whole.
    qsizetype close = t.lastIndexOf(QLatin1Char(']'));
    if (close < 0)
        close = t.size();
    return trimBlanks(t.sliced(1, close - 1));
}

std::optional<QStringView> keyName(QStringView line)
{
    const QStringView t = trimBlanks(line);
    if (t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return std::nullopt;
    const QStringView key = trimBlanks(t.first(eq));
    if (key.isEmpty())
        return std::nullopt;
    return key;
}

// The value of a key line: what follows the first "=", ending at a NUL as Windows
// reads it, blanks at both ends removed, then one pair of enclosing quotes.
QStringView valueText(QStringView line)
{
    QStringView v = line.sliced(line.indexOf(QLatin1Char('=')) + 1);
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0)
        v.truncate(nul);
    v = trimBlanks(v);
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    return v;
}

std::optional<int> parseInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else if (t.startsWith(QLatin1String("-0x"), Qt::CaseInsensitive))
        v = -t.mid(3).toLongLong(&ok, 16);
    else
        v = t.toLongLong(&ok, 10);
    // Hexadecimal up to eight digits wraps to a negative number as in 32-bit code.
    if (!ok || v < -2147483648LL || v > 0xFFFFFFFFLL)
        return std::nullopt;
    return int(qint32(quint32(v)));
}

// The bytes of a regular file; nullopt for anything else or a failed read. Opened
// without blocking, so a FIFO in place of the file cannot hang the reader.
std::optional<QByteArray> readRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        QByteArray data;
        data.reserve(qsizetype(st.st_size) + 1);
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    bytes = std::move(data);
                break;
            }
            data.append(buffer, qsizetype(n));
        }
    }
    ::close(fd);
    return bytes;
}

} // namespace

IniDocument::IniDocument(DecodedText file) : file_(std::move(file))
{
    const QStringView text = file_.text;
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype i = start;
        while (i < n && text[i] != QLatin1Char('\n') && text[i] != QLatin1Char('\r'))
            ++i;
        Line line{text.sliced(start, i - start).toString(), {}};
        if (i < n) {
            const qsizetype eolLength =
                (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ? 2 : 1;
            line.eol = text.sliced(i, eolLength).toString();
            i += eolLength;
        }
        lines_.push_back(std::move(line));
        start = i;
    }
    file_.text.clear();
    file_.text.squeeze();
}

std::optional<IniDocument> IniDocument::load(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? std::optional<IniDocument>(IniDocument()) : std::nullopt;
    const auto bytes = readRegularFile(path);
    if (!bytes)
        return std::nullopt;
    return IniDocument(decodeByByteOrderMark(*bytes));
}

IniDocument IniDocument::loadOrEmpty(const QString &path)
{
    auto document = load(path);
    return document ? std::move(*document) : IniDocument();
}

QByteArray IniDocument::bytes() const
{
    DecodedText out{QString(), file_.encoding, file_.oddByte};
    for (const Line &line : lines_)
        out.text += line.text + line.eol;
    return encodeWithByteOrderMark(out);
}

const IniDocument::Index &IniDocument::index() const
{
    if (index_)
        return *index_;
    Index index;
    for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
        const auto name = sectionName(lines_[size_t(i)].text);
        if (!name)
            continue;
        if (!index.sections.empty())
            index.sections.back().end = i;
        index.sections.push_back({i, qsizetype(lines_.size())});
        index.names.push_back(readable(*name));
        const QString folded = fold(*name);
        if (!index.first.contains(folded))
            index.first.insert(folded, qsizetype(index.sections.size() - 1));
    }
    index_ = std::move(index);
    return *index_;
}

std::optional<IniDocument::Section> IniDocument::findSection(const QString &section) const
{
    const Index &i = index();
    const auto at = i.first.constFind(fold(section));
    if (at == i.first.cend())
        return std::nullopt;
    return i.sections[size_t(*at)];
}

const QHash<QString, qsizetype> &IniDocument::keysOf(qsizetype sectionIndex) const
{
    const Index &i = index();
    const auto known = i.keys.constFind(sectionIndex);
    if (known != i.keys.cend())
        return *known;
    QHash<QString, qsizetype> keys;
    const Section s = i.sections[size_t(sectionIndex)];
    for (qsizetype line = s.header + 1; line < s.end; ++line)
        if (const auto name = keyName(lines_[size_t(line)].text)) {
            const QString folded = fold(*name);
            if (!keys.contains(folded))
                keys.insert(folded, line);
        }
    return *i.keys.insert(sectionIndex, std::move(keys));
}

std::optional<QStringView> IniDocument::rawValue(const QString &section, const QString &key) const
{
    const Index &i = index();
    const auto at = i.first.constFind(fold(section));
    if (at == i.first.cend())
        return std::nullopt;
    const QHash<QString, qsizetype> &keys = keysOf(*at);
    const auto line = keys.constFind(fold(key));
    if (line == keys.cend())
        return std::nullopt;
    return valueText(lines_[size_t(*line)].text);
}

QString IniDocument::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const auto value = rawValue(section, key);
    if (!value)
        return defaultValue.left(IniFile::kMaxValueLength);
    // Only the part that can be returned is decoded, however long the value is.
    const QStringView head = value->first(std::min(value->size(), qsizetype(2 * IniFile::kMaxValueLength)));
    return readable(head).left(IniFile::kMaxValueLength);
}

QByteArray IniDocument::ReadRawString(const QString &section, const QString &key, const QByteArray &defaultValue) const
{
    const auto value = rawValue(section, key);
    if (!value)
        return defaultValue.left(IniFile::kMaxValueLength);
    return big5EncodeKeeping(value->left(IniFile::kMaxValueLength)).left(IniFile::kMaxValueLength);
}

int IniDocument::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const auto value = parseInteger(ReadString(section, key, QString()));
    return value ? *value : defaultValue;
}

bool IniDocument::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QStringList IniDocument::ReadSections() const
{
    const Index &i = index();
    QStringList names;
    QSet<QString> seen;
    for (const QString &name : i.names)
        if (!seen.contains(fold(name))) {
            seen.insert(fold(name));
            names << name;
        }
    return names;
}

QStringList IniDocument::ReadSection(const QString &section) const
{
    QStringList keys;
    const auto s = findSection(section);
    if (!s)
        return keys;
    QSet<QString> seen;
    for (qsizetype line = s->header + 1; line < s->end; ++line) {
        const auto name = keyName(lines_[size_t(line)].text);
        if (!name)
            continue;
        const QString folded = fold(*name);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        keys << readable(*name);
    }
    return keys;
}

bool IniDocument::SectionExists(const QString &section) const
{
    return findSection(section).has_value();
}

bool IniDocument::ValueExists(const QString &section, const QString &key) const
{
    return rawValue(section, key).has_value();
}

bool IniDocument::holdsRawExactly(const QByteArray &value) const
{
    if (file_.encoding != TextEncoding::Utf8)
        return true;
    const QString text = big5DecodeKeeping(value);
    return utf8DecodeKeeping(utf8EncodeKeeping(text)) == text;
}

void IniDocument::setRawValue(const QString &section, const QString &key, const QByteArray &value)
{
    if (!holdsRawExactly(value))
        throw IniValueError(big5Decode(value));
    setValue(section, key, big5DecodeKeeping(value));
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    for (const QString *text : {&section, &key, &value})
        if (text->contains(QLatin1Char('\r')) || text->contains(QLatin1Char('\n')) || text->contains(QChar(0)))
            throw IniValueError(*text);
    const Index &i = index();
    const auto at = i.first.constFind(fold(section));
    if (at == i.first.cend()) {
        if (!lines_.empty() && lines_.back().eol.isEmpty())
            lines_.back().eol = kCrLf;
        lines_.push_back({QLatin1Char('[') + section + QLatin1Char(']'), kCrLf});
        lines_.push_back({key + QLatin1Char('=') + value, kCrLf});
        changed();
        return;
    }
    const Section s = i.sections[size_t(*at)];
    const QHash<QString, qsizetype> &keys = keysOf(*at);
    const auto line = keys.constFind(fold(key));
    if (line != keys.cend()) {
        // The value is replaced; the key keeps the spelling and indentation it has.
        QString &text = lines_[size_t(*line)].text;
        text = text.left(text.indexOf(QLatin1Char('=')) + 1) + value;
        changed();
        return;
    }
    qsizetype insertAt = s.header + 1;
    for (qsizetype l = s.header + 1; l < s.end; ++l)
        if (!trimBlanks(lines_[size_t(l)].text).isEmpty())
            insertAt = l + 1;
    if (lines_[size_t(insertAt - 1)].eol.isEmpty())
        lines_[size_t(insertAt - 1)].eol = kCrLf;
    lines_.insert(lines_.begin() + insertAt, Line{key + QLatin1Char('=') + value, kCrLf});
    changed();
}

bool IniDocument::eraseSection(const QString &section)
{
    const QString wanted = fold(section);
    const Index &i = index();
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    qsizetype next = 0;
    bool erased = false;
    for (size_t s = 0; s < i.sections.size(); ++s) {
        if (fold(i.names[s]) != wanted)
            continue;
        for (; next < i.sections[s].header; ++next)
            kept.push_back(std::move(lines_[size_t(next)]));
        next = i.sections[s].end;
        erased = true;
    }
    if (!erased)
        return false;
    for (; next < qsizetype(lines_.size()); ++next)
        kept.push_back(std::move(lines_[size_t(next)]));
    lines_ = std::move(kept);
    changed();
    return true;
}

bool IniDocument::deleteKey(const QString &section, const QString &key)
{
    const auto s = findSection(section);
    if (!s)
        return false;
    const QString wanted = fold(key);
    bool erased = false;
    for (qsizetype line = s->end; line-- > s->header + 1;) {
        const auto name = keyName(lines_[size_t(line)].text);
        if (name && fold(*name) == wanted) {
            lines_.erase(lines_.begin() + line);
            erased = true;
        }
    }
    if (erased)
        changed();
    return erased;
}

} // namespace platform

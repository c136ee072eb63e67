#include "data/rowsetxml/RowsetXmlParser.h"
#include "data/rowsetxml/Utf8Sequence.h"
#include <algorithm>
#include <cctype>
#include <cstring>
#include <tuple>

namespace data::rowsetxml::detail {

namespace {

// Name characters, ASCII part; every byte >= 0x80 belongs to some non-ASCII letter
// (the document was checked for valid UTF-8 before).
struct NameTables {
    bool start[256] = {};
    bool part[256] = {};
    NameTables()
    {
        for (int c = 0; c < 256; ++c) {
            const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
                                c == ':' || c >= 0x80;
            start[c] = letter;
            part[c] = letter || (c >= '0' && c <= '9') || c == '-' || c == '.';
        }
    }
};
const NameTables kNames;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

QString shown(std::string_view s)
{
    constexpr size_t kMax = 60;
    QString t = QString::fromUtf8(s.data(), qsizetype(std::min(s.size(), kMax)));
    if (s.size() > kMax)
        t += QStringLiteral("...");
    return t;
}

// The ';' of a numeric character reference longer than usual: other writers pad the
// number with zeros. nullptr when something else than digits comes first.
const char *endOfPaddedNumber(const char *p, const char *end)
{
    if (p < end && *p == 'x')
        ++p;
    while (p < end && std::isxdigit(static_cast<unsigned char>(*p)))
        ++p;
    return p < end && *p == ';' ? p : nullptr;
}

} // namespace

void appendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

Ns classifyNamespace(std::string_view uri)
{
    if (uri.empty())
        return Ns::None;
    if (equalsNoCase(uri, kNsSchema))
        return Ns::Schema;
    if (equalsNoCase(uri, kNsDataType))
        return Ns::DataType;
    if (equalsNoCase(uri, kNsRowset))
        return Ns::Rowset;
    if (equalsNoCase(uri, kNsRow))
        return Ns::Row;
    return Ns::Other;
}

void lineAndColumn(std::string_view doc, size_t offset, int &line, int &column)
{
    offset = std::min(offset, doc.size());
    line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i) {
        const char c = doc[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= doc.size() || doc[i + 1] != '\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    column = 1;
    for (size_t i = lineStart; i < offset; ++i)
        if ((static_cast<unsigned char>(doc[i]) & 0xC0) != 0x80)
            ++column;
}

size_t findInvalidCharacter(std::string_view doc)
{
    const auto *const begin = reinterpret_cast<const unsigned char *>(doc.data());
    const auto *s = begin;
    const auto *const e = begin + doc.size();
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    constexpr uint64_t kSpaces = 0x2020202020202020ULL;
    while (s < e) {
        // Plain ASCII text without control characters, eight bytes at a time.
        while (e - s >= 8) {
            uint64_t v;
            std::memcpy(&v, s, 8);
            if ((v & kHigh) || ((v - kSpaces) & ~v & kHigh))
                break;
            s += 8;
        }
        if (s >= e)
            break;
        const unsigned c = *s;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return size_t(s - begin);
            ++s;
            continue;
        }
        uint32_t cp = 0;
        const int length = utf8Sequence(s, e, cp);
        if (length == 0 || cp == 0xFFFE || cp == 0xFFFF)
            return size_t(s - begin);
        s += length;
    }
    return std::string_view::npos;
}

XmlPullParser::XmlPullParser(std::string_view doc)
    : begin_(doc.data()), p_(doc.data()), end_(doc.data() + doc.size())
{
}

void XmlPullParser::fail(size_t offset, const QString &message) const
{
    throw XmlError{offset, message, false};
}

void XmlPullParser::failTruncated(const QString &what) const
{
    throw XmlError{size_t(end_ - begin_), QStringLiteral("檔案提早結束：%1").arg(what), true};
}

void XmlPullParser::skipSpace()
{
    while (p_ < end_ && isSpace(*p_))
        ++p_;
}

std::string_view XmlPullParser::parseName()
{
    const char *start = p_;
    if (p_ >= end_ || !kNames.start[static_cast<unsigned char>(*p_)])
        return {};
    ++p_;
    while (p_ < end_ && kNames.part[static_cast<unsigned char>(*p_)])
        ++p_;
    return std::string_view(start, size_t(p_ - start));
}

void XmlPullParser::skipMarkup(std::string_view terminator, const char *what)
{
    const std::string_view rest(p_, size_t(end_ - p_));
    const size_t pos = rest.find(terminator);
    if (pos == std::string_view::npos)
        failTruncated(QStringLiteral("%1沒有結束").arg(QString::fromUtf8(what)));
    p_ += pos + terminator.size();
}

void XmlPullParser::skipDoctype()
{
    // Skipped, internal subset included: entity declarations are never used. Comments and
    // processing instructions in the subset may hold any text, "]>" included.
    p_ += 9;
    int brackets = 0;
    char quote = 0;
    while (p_ < end_) {
        const char c = *p_;
        const std::string_view rest(p_, size_t(end_ - p_));
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (brackets > 0 && rest.substr(0, 4) == "<!--") {
            p_ += 4;
            skipMarkup("-->", "註解");
            continue;
        } else if (brackets > 0 && rest.substr(0, 2) == "<?") {
            p_ += 2;
            skipMarkup("?>", "處理指令");
            continue;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            ++p_;
            return;
        }
        ++p_;
    }
    failTruncated(QStringLiteral("文件類型宣告 (DOCTYPE) 沒有結束"));
}

void XmlPullParser::decodeReference(const char *&p, const char *end, std::string *out)
{
    const char *amp = p;
    const char *limit = std::min(end, p + 16);
    const char *semi = static_cast<const char *>(std::memchr(p, ';', size_t(limit - p)));
    if (!semi && limit - amp > 2 && amp[1] == '#')
        semi = endOfPaddedNumber(amp + 2, end);
    if (!semi) {
        if (limit == end_)
            failTruncated(QStringLiteral("字元參考沒有結束"));
        fail(at(amp), QStringLiteral("「&」必須寫成 &amp;"));
    }
    const std::string_view name(amp + 1, size_t(semi - amp - 1));
    if (!name.empty() && name[0] == '#') {
        uint32_t cp = 0;
        bool hex = name.size() > 1 && name[1] == 'x';
        const size_t first = hex ? 2 : 1;
        bool ok = name.size() > first;
        for (size_t i = first; ok && i < name.size(); ++i) {
            const char c = name[i];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else {
                ok = false;
                break;
            }
            cp = cp * (hex ? 16 : 10) + uint32_t(d);
            if (cp > 0x10FFFF)
                ok = false;
        }
        // Control characters (NUL included) are accepted: they are how text holding them
        // is written, and nothing else could carry them through an attribute.
        if (!ok || (cp >= 0xD800 && cp <= 0xDFFF))
            fail(at(amp), QStringLiteral("無效的字元參考 '&%1;'").arg(shown(name)));
        if (out)
            appendUtf8(*out, cp);
    } else {
        char c;
        if (name == "lt")
            c = '<';
        else if (name == "gt")
            c = '>';
        else if (name == "amp")
            c = '&';
        else if (name == "apos")
            c = '\'';
        else if (name == "quot")
            c = '"';
        else
            fail(at(amp), QStringLiteral("未定義的實體 '&%1;'").arg(shown(name)));
        if (out)
            *out += c;
    }
    p = semi + 1;
}

void XmlPullParser::decodeValue(const RawAttribute &raw, std::string &out)
{
    out.clear();
    const char *p = raw.raw.data();
    const char *const end = p + raw.raw.size();
    while (p < end) {
        const char *run = p;
        while (p < end && *p != '&' && *p != '\t' && *p != '\n' && *p != '\r')
            ++p;
        out.append(run, size_t(p - run));
        if (p >= end)
            break;
        if (*p == '&') {
            decodeReference(p, end, &out);
        } else {
            // Line ends and tabs in attribute values read as spaces; CR LF is one line end.
            if (*p == '\r' && p + 1 < end && p[1] == '\n')
                ++p;
            out += ' ';
            ++p;
        }
    }
}

const XmlPullParser::Binding *XmlPullParser::bindingOf(std::string_view prefix) const
{
    const auto it = inForce_.find(prefix);
    return it == inForce_.end() ? nullptr : &bindings_[it->second];
}

void XmlPullParser::bind(std::string_view prefix, std::string_view uri)
{
    const auto it = inForce_.find(prefix);
    const size_t shadowed = it == inForce_.end() ? std::string_view::npos : it->second;
    bindings_.push_back({prefix, classifyNamespace(uri), std::string(uri), shadowed});
    inForce_[prefix] = bindings_.size() - 1;
}

// Ends the declarations made after the first `count`, bringing back those they hid.
void XmlPullParser::unbindDownTo(size_t count)
{
    while (bindings_.size() > count) {
        const Binding &b = bindings_.back();
        if (b.shadowed == std::string_view::npos)
            inForce_.erase(b.prefix);
        else
            inForce_[b.prefix] = b.shadowed;
        bindings_.pop_back();
    }
}

// Two attributes with the same local name in the same namespace are one attribute
// written twice, whatever their prefixes ("rs:forcenull" and "r2:forcenull" with r2
// bound to the rowset namespace too). Sorted by that expanded name, so that a tag with
// a great many prefixed attributes costs n log n, not n squared.
void XmlPullParser::checkExpandedNames() const
{
    struct Expanded {
        std::string_view local;
        Ns ns;
        std::string_view uri; // of another vocabulary (its prefix when nothing binds it)
        size_t index;
        auto key() const { return std::tie(local, ns, uri, index); }
    };
    std::vector<Expanded> names;
    for (size_t i = 0; i < attrs_.size(); ++i) {
        const XmlAttribute &a = attrs_[i];
        if (a.prefix.empty())
            continue;
        const Binding *binding = a.ns == Ns::Other ? bindingOf(a.prefix) : nullptr;
        const std::string_view uri = a.ns != Ns::Other ? std::string_view()
                                     : binding        ? std::string_view(binding->uri)
                                                      : a.prefix;
        names.push_back({a.local, a.ns, uri, i});
    }
    std::sort(names.begin(), names.end(), [](const Expanded &x, const Expanded &y) { return x.key() < y.key(); });
    for (size_t k = 1; k < names.size(); ++k) {
        const Expanded &first = names[k - 1];
        const Expanded &again = names[k];
        if (first.local != again.local || first.ns != again.ns || first.uri != again.uri)
            continue;
        const XmlAttribute &a = attrs_[again.index];
        fail(a.valueOffset, QStringLiteral("屬性 '%1:%2' 重複出現 (另寫作 '%3:%2')")
                                .arg(shown(a.prefix), shown(a.local), shown(attrs_[first.index].prefix)));
    }
}

Ns XmlPullParser::resolve(std::string_view prefix, size_t offset, bool isAttribute) const
{
    if (prefix.empty() && isAttribute)
        return Ns::None;
    if (prefix == "xml")
        return Ns::Other;
    if (const Binding *binding = bindingOf(prefix))
        return binding->ns;
    if (prefix.empty())
        return Ns::None;
    fail(offset, QStringLiteral("命名空間前置詞 '%1' 未宣告").arg(shown(prefix)));
}

void XmlPullParser::scanText(bool insideRoot)
{
    if (!insideRoot) {
        skipSpace();
        if (p_ < end_ && *p_ != '<')
            fail(at(p_), rootSeen_ ? QStringLiteral("根元素之後還有文字")
                                   : QStringLiteral("根元素之前有文字"));
        return;
    }
    const char *lt = static_cast<const char *>(std::memchr(p_, '<', size_t(end_ - p_)));
    const char *stop = lt ? lt : end_;
    for (;;) {
        const char *amp = static_cast<const char *>(std::memchr(p_, '&', size_t(stop - p_)));
        if (!amp)
            break;
        p_ = amp;
        decodeReference(p_, stop, nullptr);
    }
    p_ = stop;
}

XmlPullParser::Token XmlPullParser::next()
{
    if (pendingEnd_) {
        pendingEnd_ = false;
        unbindDownTo(stack_.back().bindings);
        stack_.pop_back();
        if (stack_.empty())
            rootClosed_ = true;
        attrs_.clear();
        return EndElement;
    }
    for (;;) {
        if (p_ >= end_) {
            if (!stack_.empty())
                failTruncated(QStringLiteral("<%1> 沒有結束標記").arg(shown(stack_.back().qname)));
            if (!rootSeen_)
                failTruncated(QStringLiteral("沒有根元素"));
            return EndDocument;
        }
        if (*p_ != '<') {
            scanText(!stack_.empty());
            continue;
        }
        tokenOffset_ = at(p_);
        if (end_ - p_ < 2)
            failTruncated(QStringLiteral("標記沒有結束"));
        const std::string_view rest(p_, size_t(end_ - p_));
        const char c = p_[1];
        if (c == '?') {
            const char *save = p_;
            p_ += 2;
            const std::string_view target = parseName();
            if (equalsNoCase(target, "xml") && prologMarkup_)
                fail(at(save), QStringLiteral("XML 宣告只能出現在檔案最前面"));
            prologMarkup_ = true;
            skipMarkup("?>", "處理指令");
            continue;
        }
        if (c == '!') {
            prologMarkup_ = true;
            if (rest.substr(0, 4) == "<!--") {
                p_ += 4;
                skipMarkup("-->", "註解");
                continue;
            }
            if (rest.substr(0, 9) == "<![CDATA[") {
                if (stack_.empty())
                    fail(at(p_), QStringLiteral("根元素之外有 CDATA 區段"));
                p_ += 9;
                skipMarkup("]]>", "CDATA 區段");
                continue;
            }
            if (rest.substr(0, 9) == "<!DOCTYPE") {
                if (rootSeen_)
                    fail(at(p_), QStringLiteral("根元素之後有文件類型宣告 (DOCTYPE)"));
                skipDoctype();
                continue;
            }
            if (rest.size() < 9)
                failTruncated(QStringLiteral("標記宣告沒有結束"));
            fail(at(p_), QStringLiteral("不明的標記 '%1'").arg(shown(rest.substr(0, 9))));
        }
        if (c == '/')
            return parseEndTag();
        if (rootClosed_)
            fail(at(p_), QStringLiteral("第二個根元素"));
        prologMarkup_ = true;
        return parseStartTag();
    }
}

XmlPullParser::Token XmlPullParser::parseStartTag()
{
    ++p_;
    const std::string_view qname = parseName();
    if (qname.empty()) {
        if (p_ >= end_)
            failTruncated(QStringLiteral("標記沒有結束"));
        fail(at(p_), QStringLiteral("「<」之後必須是元素名稱"));
    }
    if (stack_.size() >= size_t(kMaxDepth))
        fail(tokenOffset_, QStringLiteral("元素巢狀超過 %1 層").arg(kMaxDepth));
    const bool empty = scanAttributes(qname);
    decodeValues();
    const size_t mark = bindings_.size();
    const bool declares = declareNamespaces();
    resolveNames(qname, declares);
    stack_.push_back({qname, mark});
    rootSeen_ = true;
    pendingEnd_ = empty;
    return StartElement;
}

// The raw attributes of a start tag up to its end; true for an empty-element tag.
bool XmlPullParser::scanAttributes(std::string_view qname)
{
    raw_.clear();
    for (;;) {
        const char *before = p_;
        skipSpace();
        const bool hadSpace = p_ != before;
        if (p_ >= end_)
            failTruncated(QStringLiteral("起始標記 <%1> 沒有結束").arg(shown(qname)));
        if (*p_ == '>') {
            ++p_;
            return false;
        }
        if (*p_ == '/') {
            if (p_ + 1 >= end_)
                failTruncated(QStringLiteral("起始標記 <%1> 沒有結束").arg(shown(qname)));
            if (p_[1] != '>')
                fail(at(p_), QStringLiteral("<%1> 中的「/」之後必須是「>」").arg(shown(qname)));
            p_ += 2;
            return true;
        }
        if (!hadSpace)
            fail(at(p_), QStringLiteral("起始標記 <%2> 中有不應出現的字元 '%1'")
                             .arg(shown(std::string_view(p_, 1)), shown(qname)));
        scanAttribute(qname);
    }
}

// One name='value' pair.
void XmlPullParser::scanAttribute(std::string_view qname)
{
    const std::string_view name = parseName();
    if (name.empty())
        fail(at(p_), QStringLiteral("起始標記 <%2> 中有不應出現的字元 '%1'")
                         .arg(shown(std::string_view(p_, 1)), shown(qname)));
    skipSpace();
    if (p_ >= end_)
        failTruncated(QStringLiteral("起始標記 <%1> 沒有結束").arg(shown(qname)));
    if (*p_ != '=')
        fail(at(p_), QStringLiteral("屬性 '%1' 沒有值").arg(shown(name)));
    ++p_;
    skipSpace();
    if (p_ >= end_)
        failTruncated(QStringLiteral("起始標記 <%1> 沒有結束").arg(shown(qname)));
    const char quote = *p_;
    if (quote != '\'' && quote != '"')
        fail(at(p_), QStringLiteral("屬性 '%1' 的值沒有加引號").arg(shown(name)));
    ++p_;
    const char *close = static_cast<const char *>(std::memchr(p_, quote, size_t(end_ - p_)));
    if (!close)
        failTruncated(QStringLiteral("屬性 '%1' 的值沒有結束引號").arg(shown(name)));
    bool needsDecoding = false;
    for (const char *s = p_; s < close; ++s) {
        const char ch = *s;
        if (ch == '<')
            fail(at(s), QStringLiteral("屬性 '%1' 的值中有「<」").arg(shown(name)));
        if (ch == '&' || ch == '\t' || ch == '\n' || ch == '\r')
            needsDecoding = true;
    }
    raw_.push_back({name, std::string_view(p_, size_t(close - p_)), at(p_), needsDecoding});
    p_ = close + 1;
}

// Every value first: the views handed out must not move afterwards.
void XmlPullParser::decodeValues()
{
    if (pool_.size() < raw_.size())
        pool_.resize(raw_.size());
    for (size_t i = 0; i < raw_.size(); ++i)
        if (raw_[i].needsDecoding)
            decodeValue(raw_[i], pool_[i]);
}

std::string_view XmlPullParser::rawValue(size_t i) const
{
    return raw_[i].needsDecoding ? std::string_view(pool_[i]) : raw_[i].raw;
}

static bool isNamespaceDeclaration(std::string_view n)
{
    return n.size() >= 5 && n.substr(0, 5) == "xmlns" && (n.size() == 5 || n[5] == ':');
}

// The tag's xmlns attributes, in force from this element on; true when it has any.
bool XmlPullParser::declareNamespaces()
{
    bool declares = false;
    for (size_t i = 0; i < raw_.size(); ++i) {
        const std::string_view n = raw_[i].qname;
        if (n.size() < 5 || n.substr(0, 5) != "xmlns")
            continue;
        const std::string_view v = rawValue(i);
        if (n.size() == 5) {
            bind(std::string_view(), v);
            declares = true;
        } else if (n[5] == ':') {
            const std::string_view prefix = n.substr(6);
            if (prefix.empty() || prefix.find(':') != std::string_view::npos)
                fail(raw_[i].offset, QStringLiteral("無效的命名空間宣告 '%1'").arg(shown(n)));
            if (v.empty())
                fail(raw_[i].offset, QStringLiteral("命名空間前置詞 '%1' 沒有對應的命名空間").arg(shown(prefix)));
            bind(prefix, v);
            declares = true;
        }
    }
    return declares;
}

void XmlPullParser::splitQName(std::string_view q, size_t offset, std::string_view &prefix, std::string_view &local) const
{
    const size_t colon = q.find(':');
    if (colon == std::string_view::npos) {
        prefix = {};
        local = q;
        return;
    }
    prefix = q.substr(0, colon);
    local = q.substr(colon + 1);
    if (prefix.empty() || local.empty() || local.find(':') != std::string_view::npos)
        fail(offset, QStringLiteral("'%1' 不是有效的限定名稱").arg(shown(q)));
}

// The element's and the attributes' namespaces; the xmlns attributes are not attributes.
void XmlPullParser::resolveNames(std::string_view qname, bool declares)
{
    splitQName(qname, tokenOffset_, prefix_, local_);
    ns_ = resolve(prefix_, tokenOffset_, false);
    attrs_.clear();
    size_t prefixed = 0;
    for (size_t i = 0; i < raw_.size(); ++i) {
        if (declares && isNamespaceDeclaration(raw_[i].qname))
            continue;
        XmlAttribute a;
        splitQName(raw_[i].qname, raw_[i].offset, a.prefix, a.local);
        a.ns = resolve(a.prefix, raw_[i].offset, true);
        a.value = rawValue(i);
        a.valueOffset = raw_[i].offset;
        attrs_.push_back(a);
        prefixed += !a.prefix.empty();
    }
    if (prefixed > 1)
        checkExpandedNames();
}

XmlPullParser::Token XmlPullParser::parseEndTag()
{
    p_ += 2;
    const std::string_view qname = parseName();
    skipSpace();
    if (p_ >= end_)
        failTruncated(QStringLiteral("結束標記 </%1> 沒有結束").arg(shown(qname)));
    if (qname.empty() || *p_ != '>')
        fail(at(p_), QStringLiteral("結束標記格式錯誤"));
    ++p_;
    if (stack_.empty())
        fail(tokenOffset_, QStringLiteral("結束標記 </%1> 沒有對應的起始標記").arg(shown(qname)));
    if (stack_.back().qname != qname)
        fail(tokenOffset_, QStringLiteral("結束標記 </%1> 與起始標記 <%2> 不相符")
                               .arg(shown(qname), shown(stack_.back().qname)));
    const size_t colon = qname.find(':');
    prefix_ = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    local_ = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    ns_ = resolve(prefix_, tokenOffset_, false);
    unbindDownTo(stack_.back().bindings);
    stack_.pop_back();
    if (stack_.empty())
        rootClosed_ = true;
    attrs_.clear();
    return EndElement;
}

void XmlPullParser::skipElement()
{
    const size_t depth = stack_.size();
    for (;;) {
        const Token t = next();
        if (t == EndElement && stack_.size() < depth)
            return;
        if (t == StartElement)
            checkUniqueAttributes();
        else if (t == EndDocument)
            return; // cannot happen: next() reports the unclosed element
    }
}

void XmlPullParser::checkUniqueAttributes() const
{
    const size_t n = raw_.size();
    if (n < 2)
        return;
    auto duplicate = [&](std::string_view name) {
        size_t offset = tokenOffset_;
        for (const auto &r : raw_)
            if (r.qname == name)
                offset = r.offset;
        fail(offset, QStringLiteral("屬性 '%1' 重複出現").arg(shown(name)));
    };
    if (n <= 16) {
        for (size_t i = 0; i < n; ++i)
            for (size_t j = i + 1; j < n; ++j)
                if (raw_[i].qname == raw_[j].qname)
                    duplicate(raw_[i].qname);
        return;
    }
    std::vector<std::string_view> names;
    names.reserve(n);
    for (const auto &r : raw_)
        names.push_back(r.qname);
    std::sort(names.begin(), names.end());
    for (size_t i = 1; i < n; ++i)
        if (names[i] == names[i - 1])
            duplicate(names[i]);
}

} // namespace data::rowsetxml::detail

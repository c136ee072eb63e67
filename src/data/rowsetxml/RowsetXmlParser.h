#pragma once
// A small pull parser for the rowset XML files: namespaces resolved to the four rowset
// vocabularies, attribute values decoded, well-formedness checked. It keeps views into
// the document instead of building strings, which is what makes a million-row file load
// in a second or two. No DTD processing: only the five predefined entities and character
// references exist, so no input can make it expand text or recurse.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace data::rowsetxml::detail {

inline constexpr std::string_view kNsSchema = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
inline constexpr std::string_view kNsDataType = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
inline constexpr std::string_view kNsRowset = "urn:schemas-microsoft-com:rowset";
inline constexpr std::string_view kNsRow = "#RowsetSchema";

enum class Ns : uint8_t { None, Schema, DataType, Rowset, Row, Other };

// A failure with the byte offset in the document where it was found.
struct XmlError {
    size_t offset;
    QString message;
    bool truncated = false; // the document ended too early
};

struct XmlAttribute {
    std::string_view prefix;
    std::string_view local;
    Ns ns = Ns::None;
    std::string_view value; // decoded; valid until the next call of next()
    size_t valueOffset = 0; // where the raw value starts in the document
};

class XmlPullParser {
public:
    enum Token { StartElement, EndElement, EndDocument };

    // The document must be UTF-8 (use prepareDocument() first).
    explicit XmlPullParser(std::string_view doc);

    Token next();
    // After a StartElement: consumes everything up to and including its end tag.
    void skipElement();
    // Throws when an attribute name appears twice on the current start tag. Rows check
    // their own attributes while matching them to columns, which is cheaper.
    void checkUniqueAttributes() const;

    std::string_view prefix() const { return prefix_; }
    std::string_view localName() const { return local_; }
    Ns ns() const { return ns_; }
    const std::vector<XmlAttribute> &attributes() const { return attrs_; }
    size_t tokenOffset() const { return tokenOffset_; }
    int depth() const { return int(stack_.size()); }

    static constexpr int kMaxDepth = 10000;

private:
    struct RawAttribute {
        std::string_view qname;
        std::string_view raw;
        size_t offset;
        bool needsDecoding;
    };
    struct OpenElement {
        std::string_view qname;
        size_t bindings; // size of bindings_ before this element's declarations
    };
    struct Binding {
        std::string_view prefix;
        Ns ns;
        std::string uri;
        size_t shadowed; // the binding of the same prefix this one hides; npos: none
    };

    [[noreturn]] void fail(size_t offset, const QString &message) const;
    [[noreturn]] void failTruncated(const QString &what) const;
    size_t at(const char *p) const { return size_t(p - begin_); }
    void skipSpace();
    std::string_view parseName();
    void skipMarkup(std::string_view terminator, const char *what);
    void skipDoctype();
    void scanText(bool insideRoot);
    void decodeReference(const char *&p, const char *end, std::string *out);
    void decodeValue(const RawAttribute &raw, std::string &out);
    Ns resolve(std::string_view prefix, size_t offset, bool isAttribute) const;
    const Binding *bindingOf(std::string_view prefix) const;
    void bind(std::string_view prefix, std::string_view uri);
    void unbindDownTo(size_t count);
    void checkExpandedNames() const;
    Token parseStartTag();
    bool scanAttributes(std::string_view qname);
    void scanAttribute(std::string_view qname);
    void decodeValues();
    std::string_view rawValue(size_t i) const;
    bool declareNamespaces();
    void splitQName(std::string_view q, size_t offset, std::string_view &prefix, std::string_view &local) const;
    void resolveNames(std::string_view qname, bool declares);
    Token parseEndTag();

    const char *begin_;
    const char *p_;
    const char *end_;
    bool rootSeen_ = false;
    bool rootClosed_ = false;
    bool pendingEnd_ = false;
    bool prologMarkup_ = false; // anything but blanks seen: no XML declaration from here on

    std::vector<OpenElement> stack_;
    std::vector<Binding> bindings_;
    // The binding in force for each prefix: a lookup per name, whatever the count of
    // declarations in scope.
    std::unordered_map<std::string_view, size_t> inForce_;
    std::vector<RawAttribute> raw_;
    std::vector<std::string> pool_; // decoded attribute values
    std::vector<XmlAttribute> attrs_;

    std::string_view prefix_;
    std::string_view local_;
    Ns ns_ = Ns::None;
    size_t tokenOffset_ = 0;
};

// Namespace URI to vocabulary. The uuid: URIs compare case-insensitively, as Windows
// compares GUIDs.
Ns classifyNamespace(std::string_view uri);

// Appends one code point as UTF-8.
void appendUtf8(std::string &out, uint32_t cp);

// Line and column (1-based, columns in characters) of a byte offset.
void lineAndColumn(std::string_view doc, size_t offset, int &line, int &column);

// Checks the whole document for valid UTF-8 and characters XML forbids; returns the
// offset of the first bad byte or npos.
size_t findInvalidCharacter(std::string_view doc);

} // namespace data::rowsetxml::detail

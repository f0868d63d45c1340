#pragma once
// libxml2 helpers shared by the project document's reader and writer (and
// later by the XML imports): handle ownership, the safety settings of every
// parse, and the conversions between our texts and XML.

#include "model/parameters.h"

#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

struct TXmlDocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TXmlDocPtr = std::unique_ptr<xmlDoc, TXmlDocFree>;

struct TXmlReaderFree {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using TXmlReaderPtr = std::unique_ptr<xmlTextReader, TXmlReaderFree>;

// The parser options of every document we read: no network, no DTD loading,
// entity references left as references (resolved only when a text is taken,
// within TXmlParseGuard's budget), and never XML_PARSE_HUGE, which switches
// off the entity amplification limits. Blank text is kept: a text of spaces
// only is a text too.
constexpr int SafeParseOptions = XML_PARSE_NONET;

// What one document may hold so that libxml2 2.9 reads it back without
// XML_PARSE_HUGE (its limits, measured, less a margin). The writer refuses a
// document beyond them; the reader refuses what it cannot bound.
//
// One text as UTF-8 (libxml2: 10,000,000).
constexpr long long MaxTextBytes = 10'000'000;
// One element holding text, as written with its escapes (libxml2 refuses
// about 20,000,000 bytes of it).
constexpr long long MaxWrittenTextBytes = 19'000'000;
// One start tag with its attributes, as written (libxml2 refuses a start tag
// of about 10,000,000 bytes).
constexpr long long MaxStartTagBytes = 9'900'000;
// Longer parameter names are written as `Parameter` children, whose names are
// attribute values (libxml2 refuses names over 50,000 bytes).
constexpr std::size_t MaxAttributeNameBytes = 1'000;
// libxml2 compares each attribute with all earlier ones of its element: the
// writer never puts more on one element and the reader refuses more before
// the parser reaches them.
constexpr std::size_t MaxAttributesPerElement = 10'000;
// Every distinct attribute name of a document lands in one libxml2
// dictionary, which refuses to grow past about 20,000,000 bytes.
constexpr long long MaxAttributeNameTotalBytes = 4'000'000;
// Text produced by entity references, over the whole document: up to this,
// or up to this many times the document's size when that is more
// (libxml2's own amplification rule).
constexpr long long MaxEntityExpansionBytes = 10'000'000;
constexpr long long MaxEntityAmplification = 10;

// While alive: external entities and DTDs are never loaded (whatever the
// options), and libxml2's error reports go to this object instead of stderr.
// The previous hooks come back on destruction. UI thread only.
//
// Texts taken while the guard lives resolve entity references within a
// budget for the whole document (see MaxEntityExpansionBytes) and never
// exceed MaxTextBytes; beyond either they throw TException("Could not open
// file!").
class TXmlParseGuard {
public:
    explicit TXmlParseGuard(long long documentBytes = 0);
    ~TXmlParseGuard();
    TXmlParseGuard(const TXmlParseGuard&) = delete;
    TXmlParseGuard& operator=(const TXmlParseGuard&) = delete;

    // For xmlTextReaderSetStructuredErrorHandler.
    static void OnError(void* guard, xmlError* error);
    bool HasFatalError() const { return m_hasFatalError; }
    // The first error's message (for diagnostics only; users see our texts).
    const std::string& FirstError() const { return m_firstError; }

    // The innermost live guard of this thread, or null.
    static TXmlParseGuard* Active();
    // Counts bytes that entity references produced; throws once the
    // document's budget is spent.
    void ChargeEntityBytes(long long bytes);

private:
    TXmlParseGuard* m_outer;
    long long m_entityBudget;
    long long m_entityBytes = 0;
    xmlExternalEntityLoader m_previousLoader;
    xmlStructuredErrorFunc m_previousHandler;
    void* m_previousContext;
    xmlGenericErrorFunc m_previousGeneric;
    void* m_previousGenericContext;
    bool m_hasFatalError = false;
    std::string m_firstError;
};

// Watches the bytes of a document on their way to the parser and tells when
// an element (or an entity declaration, whose text may become elements)
// carries more than MaxAttributesPerElement attributes. A lexer of its own,
// far simpler than XML: it follows tags, quotes, comments, CDATA sections and
// processing instructions, which is all a count of "=" in tags needs.
class TAttributeCountScanner {
public:
    // False once some element has too many attributes (and from then on).
    bool Feed(const char* bytes, std::size_t length);
    bool HasRefused() const { return m_hasRefused; }

private:
    enum class TState { Text, TagOpen, Tag, Quoted, EndTag, Bang, Comment, CData, Declaration, Instruction };
    TState m_state = TState::Text;
    TState m_quotedFrom = TState::Tag;
    char m_quote = 0;
    std::string m_recent; // the bytes since the tag opened, while telling "<!--" from "<![CDATA[" and "<!X"
    std::size_t m_count = 0;
    // Quoted values of all declarations: attribute defaults of a DTD join
    // every element of their name.
    std::size_t m_declaredValues = 0;
    bool m_hasRefused = false;
    int m_match = 0; // progress through the closing sequence of a comment, CDATA or instruction
};

// A streaming reader of the open file `fd` (not taken over) that stops with
// a fatal error as soon as TAttributeCountScanner refuses the bytes. The
// scanner and the descriptor must outlive the reader.
TXmlReaderPtr OpenScannedReader(int fd, TAttributeCountScanner& scanner, const char* url, int options);

// Element names compare exactly (XML names are case-sensitive).
bool IsNamed(const xmlNode* node, const char* name);
// The first child element named `name`, or null.
xmlNode* FirstChildElement(const xmlNode* parent, const char* name);

// The element's whole text with references resolved; empty for an element
// without text.
QString ElementText(const xmlNode* element);
QString AttributeText(const xmlAttr* attribute);
// The UTF-8 text of one text, CDATA or entity reference node (resolved), or
// of one element's whole content.
std::string NodeText(const xmlNode* node);
// The value of the attribute `name`, or nullopt when absent.
std::optional<QString> AttributeValue(const xmlNode* element, const char* name);
QString NodeName(const xmlNode* node);

// A decimal integer with an optional sign in the int32 range, blanks around
// it allowed; nullopt otherwise (empty text included).
std::optional<int32_t> ParseDocumentInt(const QString& text);
std::optional<int32_t> ParseDocumentInt(const char* text, std::size_t length);

// Parameter names and short values repeat over thousands of events; one
// shared copy of each (QString shares its text) saves most of their memory.
class TTextCache {
public:
    QString Text(const char* utf8);

private:
    struct THash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, QString, THash, std::equal_to<>> m_texts;
};

// The parameters of a `Parameters` element: its attributes in order, then
// its child elements in order: a `Parameter` element carrying a `Name`
// attribute gives (Name, its `Value` attribute or empty); any other child
// with text gives (element name, text); the rest are skipped. With a cache,
// plain attribute names and values come from it.
TParameters ReadParametersElement(const xmlNode* element, TTextCache* cache = nullptr);

// How many leading pairs of `parameters` can be written as attributes of the
// `Parameters` element and read back unchanged: names that are valid XML
// names without a colon, not starting with "xml" in any letter case, and not
// repeated among those pairs. The remaining pairs are written as `Parameter`
// child elements.
// At most MaxAttributesPerElement pairs, none with a name over
// MaxAttributeNameBytes; `mayBeAttribute`, when given, is asked last about
// each further pair and ends the attributes at its first false.
std::size_t AttributeParameterCount(const TParameters& parameters,
                                    const std::function<bool(const TParameter&)>& mayBeAttribute = {});

// UTF-8 for the document. Characters XML 1.0 cannot carry (C0 controls other
// than tab, line feed and carriage return; U+FFFE, U+FFFF; unpaired
// surrogates) become U+FFFD, so a saved document always reads back.
QByteArray XmlText(const QString& text);

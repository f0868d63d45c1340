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
// entity references left as references (resolved only when a text is taken),
// and never XML_PARSE_HUGE, which switches off the entity amplification
// limits. Blank text is kept: a text of spaces only is a text too.
constexpr int SafeParseOptions = XML_PARSE_NONET;

// While alive: external entities and DTDs are never loaded (whatever the
// options), and libxml2's error reports go to this object instead of stderr.
// The previous hooks come back on destruction. UI thread only.
class TXmlParseGuard {
public:
    TXmlParseGuard();
    ~TXmlParseGuard();
    TXmlParseGuard(const TXmlParseGuard&) = delete;
    TXmlParseGuard& operator=(const TXmlParseGuard&) = delete;

    // For xmlTextReaderSetStructuredErrorHandler.
    static void OnError(void* guard, xmlError* error);
    bool HasFatalError() const { return m_hasFatalError; }
    // The first error's message (for diagnostics only; users see our texts).
    const std::string& FirstError() const { return m_firstError; }

private:
    xmlExternalEntityLoader m_previousLoader;
    xmlStructuredErrorFunc m_previousHandler;
    void* m_previousContext;
    xmlGenericErrorFunc m_previousGeneric;
    void* m_previousGenericContext;
    bool m_hasFatalError = false;
    std::string m_firstError;
};

// Element names compare exactly (XML names are case-sensitive).
bool IsNamed(const xmlNode* node, const char* name);
// The first child element named `name`, or null.
xmlNode* FirstChildElement(const xmlNode* parent, const char* name);

// The element's whole text with references resolved; empty for an element
// without text.
QString ElementText(const xmlNode* element);
QString AttributeText(const xmlAttr* attribute);
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
std::size_t AttributeParameterCount(const TParameters& parameters);

// UTF-8 for the document. Characters XML 1.0 cannot carry (C0 controls other
// than tab, line feed and carriage return; U+FFFE, U+FFFF; unpaired
// surrogates) become U+FFFD, so a saved document always reads back.
QByteArray XmlText(const QString& text);

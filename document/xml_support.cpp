#include "document/xml_support.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <QSet>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

xmlParserInputPtr DenyExternalEntity(const char* /*url*/, const char* /*id*/, xmlParserCtxtPtr /*context*/) {
    return nullptr;
}

void IgnoreGenericError(void* /*context*/, const char* /*format*/, ...) {}

const char* AsChars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}

QString FromXml(const xmlChar* text) {
    return text ? QString::fromUtf8(AsChars(text)) : QString();
}

// xmlNodeListGetString / xmlNodeGetContent allocate; an element or attribute
// holding one plain text node (by far the common case) is read in place.
const xmlChar* SingleTextContent(const xmlNode* firstChild) {
    if (firstChild && firstChild->next == nullptr && firstChild->type == XML_TEXT_NODE)
        return firstChild->content;
    return nullptr;
}

struct TXmlCharFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using TXmlCharPtr = std::unique_ptr<xmlChar, TXmlCharFree>;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsXmlChar(char32_t c) {
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    return c < 0xD800 || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

TXmlParseGuard::TXmlParseGuard()
    : m_previousLoader(xmlGetExternalEntityLoader()), m_previousHandler(xmlStructuredError),
      m_previousContext(xmlStructuredErrorContext), m_previousGeneric(xmlGenericError),
      m_previousGenericContext(xmlGenericErrorContext) {
    xmlSetExternalEntityLoader(DenyExternalEntity);
    xmlSetStructuredErrorFunc(this, &TXmlParseGuard::OnError);
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
}

TXmlParseGuard::~TXmlParseGuard() {
    xmlSetGenericErrorFunc(m_previousGenericContext, m_previousGeneric);
    xmlSetStructuredErrorFunc(m_previousContext, m_previousHandler);
    xmlSetExternalEntityLoader(m_previousLoader);
}

void TXmlParseGuard::OnError(void* guard, xmlError* error) {
    auto* self = static_cast<TXmlParseGuard*>(guard);
    if (!self || !error)
        return;
    if (error->level == XML_ERR_FATAL)
        self->m_hasFatalError = true;
    if (self->m_firstError.empty() && error->level >= XML_ERR_ERROR && error->message)
        self->m_firstError = error->message;
}

bool IsNamed(const xmlNode* node, const char* name) {
    return node && node->type == XML_ELEMENT_NODE && std::strcmp(AsChars(node->name), name) == 0;
}

xmlNode* FirstChildElement(const xmlNode* parent, const char* name) {
    if (!parent)
        return nullptr;
    for (xmlNode* child = parent->children; child; child = child->next)
        if (IsNamed(child, name))
            return child;
    return nullptr;
}

QString ElementText(const xmlNode* element) {
    if (!element || !element->children)
        return QString();
    if (const xmlChar* text = SingleTextContent(element->children))
        return FromXml(text);
    TXmlCharPtr content(xmlNodeGetContent(element));
    return FromXml(content.get());
}

QString AttributeText(const xmlAttr* attribute) {
    if (!attribute || !attribute->children)
        return QString();
    if (const xmlChar* text = SingleTextContent(attribute->children))
        return FromXml(text);
    TXmlCharPtr value(xmlNodeListGetString(attribute->doc, attribute->children, 1));
    return FromXml(value.get());
}

std::optional<QString> AttributeValue(const xmlNode* element, const char* name) {
    if (!element)
        return std::nullopt;
    for (const xmlAttr* attribute = element->properties; attribute; attribute = attribute->next)
        if (attribute->ns == nullptr && std::strcmp(AsChars(attribute->name), name) == 0)
            return AttributeText(attribute);
    return std::nullopt;
}

QString NodeName(const xmlNode* node) {
    if (!node)
        return QString();
    // A prefixed name keeps its prefix: the name is what the user typed.
    if (node->ns && node->ns->prefix)
        return FromXml(node->ns->prefix) + u':' + FromXml(node->name);
    return FromXml(node->name);
}

namespace {

QString AttributeName(const xmlAttr* attribute) {
    if (attribute->ns && attribute->ns->prefix)
        return FromXml(attribute->ns->prefix) + u':' + FromXml(attribute->name);
    return FromXml(attribute->name);
}

} // namespace

std::optional<int32_t> ParseDocumentInt(const char* text, std::size_t length) {
    const char* begin = text;
    const char* end = text + length;
    while (begin < end && (*begin == ' ' || *begin == '\t' || *begin == '\n' || *begin == '\r'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r'))
        --end;
    // from_chars takes no "+"; a sign must still be followed by a digit.
    if (begin < end && *begin == '+' && begin + 1 < end && begin[1] != '-')
        ++begin;
    int32_t value = 0;
    const auto [last, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

std::optional<int32_t> ParseDocumentInt(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    if (end - begin > 16)
        return std::nullopt;
    char digits[16];
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0x7F)
            return std::nullopt;
        digits[i - begin] = static_cast<char>(c);
    }
    return ParseDocumentInt(digits, static_cast<std::size_t>(end - begin));
}

QString TTextCache::Text(const char* utf8) {
    const std::string_view text(utf8);
    // Long texts rarely repeat; a document of endless distinct names must
    // not make the cache the biggest thing in memory.
    constexpr std::size_t longest = 32;
    constexpr std::size_t mostEntries = 1 << 16;
    if (text.size() > longest)
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (const auto found = m_texts.find(text); found != m_texts.end())
        return found->second;
    QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (m_texts.size() < mostEntries)
        m_texts.emplace(std::string(text), decoded);
    return decoded;
}

TParameters ReadParametersElement(const xmlNode* element, TTextCache* cache) {
    TParameters parameters;
    if (!element)
        return parameters;
    std::size_t count = 0;
    for (const xmlAttr* attribute = element->properties; attribute; attribute = attribute->next)
        ++count;
    for (const xmlNode* child = element->children; child; child = child->next)
        count += child->type == XML_ELEMENT_NODE ? 1 : 0;
    parameters.Reserve(count);
    for (const xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
        const xmlChar* value = SingleTextContent(attribute->children);
        if (cache && value && !attribute->ns) {
            parameters.AddParameter({cache->Text(AsChars(attribute->name)), cache->Text(AsChars(value))});
            continue;
        }
        parameters.AddParameter({AttributeName(attribute), AttributeText(attribute)});
    }
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (IsNamed(child, "Parameter")) {
            if (auto name = AttributeValue(child, "Name")) {
                parameters.AddParameter({*name, AttributeValue(child, "Value").value_or(QString())});
                continue;
            }
        }
        QString text = ElementText(child);
        if (!text.isEmpty())
            parameters.AddParameter({NodeName(child), text});
    }
    return parameters;
}

namespace {

bool IsAsciiNameStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsAsciiNameChar(char16_t c) {
    return IsAsciiNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

// A name without a colon that XML accepts as an attribute name.
bool IsAttributeName(const QString& name) {
    if (name.isEmpty())
        return false;
    const bool isAscii = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (isAscii) {
        return IsAsciiNameStart(name[0].unicode()) && std::all_of(name.begin() + 1, name.end(), [](QChar c) {
                   return IsAsciiNameChar(c.unicode());
               });
    }
    const QByteArray utf8 = name.toUtf8();
    return !utf8.contains(':') &&
           xmlValidateNCName(reinterpret_cast<const xmlChar*>(utf8.constData()), 0) == 0;
}

} // namespace

std::size_t AttributeParameterCount(const TParameters& parameters) {
    QSet<QString> used;
    std::size_t count = 0;
    for (const TParameter& parameter : parameters) {
        // "xml..." names are reserved; "xmlns" would even declare a namespace.
        if (!IsAttributeName(parameter.Name) || parameter.Name.startsWith(u"xml", Qt::CaseInsensitive))
            break;
        // Attribute names compare exactly; a short list is searched in place.
        bool isRepeated = false;
        if (count < 16) {
            for (std::size_t i = 0; i < count && !isRepeated; ++i)
                isRepeated = parameters[i].Name == parameter.Name;
        } else {
            if (used.isEmpty())
                for (std::size_t i = 0; i < count; ++i)
                    used.insert(parameters[i].Name);
            isRepeated = used.contains(parameter.Name);
            used.insert(parameter.Name);
        }
        if (isRepeated)
            break;
        ++count;
    }
    return count;
}

QByteArray XmlText(const QString& text) {
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    qsizetype i = 0;
    // Fast path: nothing to replace.
    for (; i < size; ++i) {
        const char16_t c = units[i];
        if ((c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) || c >= 0xD800)
            break;
    }
    if (i == size)
        return text.toUtf8();
    QString cleaned;
    cleaned.reserve(size);
    for (i = 0; i < size; ++i) {
        char32_t c = units[i];
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            cleaned.append(QChar(units[i]));
            cleaned.append(QChar(units[i + 1]));
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c) || !IsXmlChar(c))
            c = 0xFFFD;
        cleaned.append(QChar(static_cast<char16_t>(c)));
    }
    return cleaned.toUtf8();
}

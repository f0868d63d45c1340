#include "document/xml_support.h"

#include "base/exception.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <unistd.h>

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

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsXmlChar(char32_t c) {
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    return c < 0xD800 || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

namespace {

thread_local TXmlParseGuard* activeGuard = nullptr;

[[noreturn]] void ThrowCouldNotOpen() {
    throw TException("Could not open file!");
}

} // namespace

TXmlParseGuard::TXmlParseGuard(long long documentBytes)
    : m_outer(activeGuard),
      m_entityBudget(std::max(MaxEntityExpansionBytes, documentBytes * MaxEntityAmplification)),
      m_previousLoader(xmlGetExternalEntityLoader()), m_previousHandler(xmlStructuredError),
      m_previousContext(xmlStructuredErrorContext), m_previousGeneric(xmlGenericError),
      m_previousGenericContext(xmlGenericErrorContext) {
    xmlSetExternalEntityLoader(DenyExternalEntity);
    xmlSetStructuredErrorFunc(this, &TXmlParseGuard::OnError);
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
    activeGuard = this;
}

TXmlParseGuard::~TXmlParseGuard() {
    activeGuard = m_outer;
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

TXmlParseGuard* TXmlParseGuard::Active() {
    return activeGuard;
}

void TXmlParseGuard::ChargeEntityBytes(long long bytes) {
    m_entityBytes += bytes;
    if (m_entityBytes > m_entityBudget)
        ThrowCouldNotOpen();
}

bool TAttributeCountScanner::Feed(const char* bytes, std::size_t length) {
    if (m_hasRefused)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        switch (m_state) {
        case TState::Text:
            if (c == '<')
                m_state = TState::TagOpen;
            break;
        case TState::TagOpen:
            m_count = 0;
            m_match = 0;
            m_recent.clear();
            m_state = c == '!'   ? TState::Bang
                      : c == '?' ? TState::Instruction
                      : c == '/' ? TState::EndTag
                                 : TState::Tag;
            break;
        case TState::Tag:
            if (c == '"' || c == '\'') {
                m_quote = c;
                m_quotedFrom = TState::Tag;
                m_state = TState::Quoted;
            } else if (c == '=') {
                ++m_count;
            } else if (c == '>') {
                m_state = TState::Text;
            } else if (c == '<') {
                m_state = TState::TagOpen;
            }
            break;
        case TState::Quoted:
            if (c == m_quote) {
                m_state = m_quotedFrom;
            } else if (m_quotedFrom == TState::Declaration) {
                // An entity's text may hold markup, parsed when referenced.
                if (c == '<')
                    m_count = 0;
                else if (c == '=')
                    ++m_count;
            }
            break;
        case TState::EndTag:
            if (c == '>')
                m_state = TState::Text;
            break;
        case TState::Bang: {
            m_recent += c;
            static const std::string comment = "--";
            static const std::string cdata = "[CDATA[";
            if (m_recent == comment) {
                m_state = TState::Comment;
            } else if (m_recent == cdata) {
                m_state = TState::CData;
            } else if (comment.compare(0, m_recent.size(), m_recent) != 0 &&
                       cdata.compare(0, m_recent.size(), m_recent) != 0) {
                m_state = TState::Declaration;
                --i; // this byte belongs to the declaration
            }
            break;
        }
        case TState::Comment:
        case TState::CData: {
            const char inner = m_state == TState::Comment ? '-' : ']';
            if (c == '>' && m_match >= 2)
                m_state = TState::Text;
            m_match = c == inner ? m_match + 1 : 0;
            break;
        }
        case TState::Instruction:
            if (c == '>' && m_match == 1)
                m_state = TState::Text;
            m_match = c == '?' ? 1 : 0;
            break;
        case TState::Declaration:
            if (c == '"' || c == '\'') {
                m_quote = c;
                m_quotedFrom = TState::Declaration;
                m_state = TState::Quoted;
                ++m_declaredValues;
            } else if (c == '>') {
                m_state = TState::Text;
            } else if (c == '<') {
                m_state = TState::TagOpen;
            }
            break;
        }
        if (m_count > MaxAttributesPerElement || m_declaredValues > MaxAttributesPerElement) {
            m_hasRefused = true;
            return false;
        }
    }
    return true;
}

namespace {

struct TScannedInput {
    int Fd;
    TAttributeCountScanner* Scanner;
};

int ReadScanned(void* context, char* buffer, int length) {
    auto* input = static_cast<TScannedInput*>(context);
    ssize_t count;
    do {
        count = read(input->Fd, buffer, static_cast<std::size_t>(length));
    } while (count < 0 && errno == EINTR);
    if (count < 0 || !input->Scanner->Feed(buffer, static_cast<std::size_t>(count)))
        return -1;
    return static_cast<int>(count);
}

int CloseScanned(void* context) {
    delete static_cast<TScannedInput*>(context);
    return 0;
}

} // namespace

TXmlReaderPtr OpenScannedReader(int fd, TAttributeCountScanner& scanner, const char* url, int options) {
    auto* input = new TScannedInput{fd, &scanner};
    // libxml2 calls CloseScanned when the reader goes, also when creating it fails.
    return TXmlReaderPtr(xmlReaderForIO(ReadScanned, CloseScanned, input, url, nullptr, options));
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

namespace {

// The text of a node list as xmlNodeGetContent would give it, but with every
// byte that entity references produce charged to the parse guard's budget
// and the whole text held to MaxTextBytes.
class TTextResolver {
public:
    explicit TTextResolver(const xmlDoc* doc) : m_doc(doc), m_guard(TXmlParseGuard::Active()) {}

    std::string Resolve(const xmlNode* first) {
        Append(first, 0);
        return std::move(m_text);
    }
    std::string ResolveOne(const xmlNode* node) {
        AppendNode(node, 0);
        return std::move(m_text);
    }

private:
    void Append(const xmlNode* node, int entityDepth) {
        // libxml2 refuses deeper nesting and loops before we get here; the
        // bound only keeps our own stack safe.
        if (entityDepth > 64)
            ThrowCouldNotOpen();
        for (; node; node = node->next)
            AppendNode(node, entityDepth);
    }

    void AppendNode(const xmlNode* node, int entityDepth) {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content)
                Add(AsChars(node->content), entityDepth);
            break;
        case XML_ELEMENT_NODE:
            Append(node->children, entityDepth);
            break;
        case XML_ENTITY_REF_NODE:
            if (const xmlEntity* entity = xmlGetDocEntity(const_cast<xmlDoc*>(m_doc), node->name))
                Append(entity->children, entityDepth + 1);
            break;
        default:
            break;
        }
    }

    void Add(const char* text, int entityDepth) {
        const std::size_t length = std::strlen(text);
        if (entityDepth > 0 && m_guard)
            m_guard->ChargeEntityBytes(static_cast<long long>(length));
        if (static_cast<long long>(m_text.size() + length) > MaxTextBytes)
            ThrowCouldNotOpen();
        m_text.append(text, length);
    }

    const xmlDoc* m_doc;
    TXmlParseGuard* m_guard;
    std::string m_text;
};

QString FromResolved(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString ElementText(const xmlNode* element) {
    if (!element || !element->children)
        return QString();
    if (const xmlChar* text = SingleTextContent(element->children))
        return FromXml(text);
    return FromResolved(TTextResolver(element->doc).Resolve(element->children));
}

std::string NodeText(const xmlNode* node) {
    return node ? TTextResolver(node->doc).ResolveOne(node) : std::string();
}

QString AttributeText(const xmlAttr* attribute) {
    if (!attribute || !attribute->children)
        return QString();
    if (const xmlChar* text = SingleTextContent(attribute->children))
        return FromXml(text);
    return FromResolved(TTextResolver(attribute->doc).Resolve(attribute->children));
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

bool IsShortName(const QString& name) {
    const auto units = static_cast<std::size_t>(name.size());
    // A UTF-16 unit is at most three UTF-8 bytes.
    return units * 3 <= MaxAttributeNameBytes ||
           (units <= MaxAttributeNameBytes &&
            static_cast<std::size_t>(name.toUtf8().size()) <= MaxAttributeNameBytes);
}

} // namespace

std::size_t AttributeParameterCount(const TParameters& parameters,
                                    const std::function<bool(const TParameter&)>& mayBeAttribute) {
    QSet<QString> used;
    std::size_t count = 0;
    for (const TParameter& parameter : parameters) {
        if (count == MaxAttributesPerElement || !IsShortName(parameter.Name))
            break;
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
        if (isRepeated || (mayBeAttribute && !mayBeAttribute(parameter)))
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

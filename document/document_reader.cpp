// Reads a project document with libxml2's streaming reader: the bulk of a
// document (its events) is decoded one element at a time, so memory grows
// with the events kept, never with a tree of the whole file.

#include "document/document_content.h"

#include "base/exception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace {

[[noreturn]] void ThrowCouldNotOpen() {
    throw TException("Could not open file!");
}

class TReadDescriptor {
public:
    explicit TReadDescriptor(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~TReadDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    TReadDescriptor(const TReadDescriptor&) = delete;
    TReadDescriptor& operator=(const TReadDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

std::optional<int32_t> ElementInt(const xmlNode* element) {
    const xmlNode* child = element->children;
    if (child && !child->next && child->type == XML_TEXT_NODE && child->content) {
        const char* text = reinterpret_cast<const char*>(child->content);
        return ParseDocumentInt(text, std::strlen(text));
    }
    return ParseDocumentInt(ElementText(element));
}

std::optional<int32_t> AttributeInt(const xmlNode* element, const char* name) {
    const auto text = AttributeValue(element, name);
    return text ? ParseDocumentInt(*text) : std::nullopt;
}

// The first child elements of the given names, in one pass.
template <std::size_t N>
std::array<const xmlNode*, N> FirstChildren(const xmlNode* parent, const std::array<const char*, N>& names) {
    std::array<const xmlNode*, N> found{};
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        for (std::size_t i = 0; i < N; ++i)
            if (!found[i] && std::strcmp(reinterpret_cast<const char*>(child->name), names[i]) == 0)
                found[i] = child;
    }
    return found;
}

class TDocumentParser {
public:
    TDocumentParser(xmlTextReader* reader) : m_reader(reader) {}

    TDocumentContent Parse() {
        int result = Read();
        while (result == 1 && xmlTextReaderNodeType(m_reader) != XML_READER_TYPE_ELEMENT)
            result = Read();
        if (result != 1)
            throw TException("Empty document!");
        const bool isOurs = std::strcmp(ConstName(), "AVEvents") == 0;
        if (!isOurs) {
            // A foreign file that is not even well-formed is reported as
            // unreadable, as a parser reading it whole would.
            ReadToEnd(Read());
            throw TException("Document of the wrong type!");
        }
        m_content.Sections.reset(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
        m_sectionsRoot = xmlNewDocNode(m_content.Sections.get(), nullptr,
                                       reinterpret_cast<const xmlChar*>("Sections"), nullptr);
        xmlDocSetRootElement(m_content.Sections.get(), m_sectionsRoot);

        result = xmlTextReaderIsEmptyElement(m_reader) ? Read() : ReadSections();
        ReadToEnd(result);
        return std::move(m_content);
    }

private:
    int Read() {
        const int result = xmlTextReaderRead(m_reader);
        if (result < 0)
            ThrowCouldNotOpen();
        return result;
    }
    int Next() {
        const int result = xmlTextReaderNext(m_reader);
        if (result < 0)
            ThrowCouldNotOpen();
        return result;
    }
    const xmlNode* Expand() {
        const xmlNode* node = xmlTextReaderExpand(m_reader);
        if (!node)
            ThrowCouldNotOpen();
        return node;
    }
    const char* ConstName() const {
        const xmlChar* name = xmlTextReaderConstName(m_reader);
        return name ? reinterpret_cast<const char*>(name) : "";
    }
    bool IsElementAt(int depth) const {
        return xmlTextReaderNodeType(m_reader) == XML_READER_TYPE_ELEMENT &&
               xmlTextReaderDepth(m_reader) == depth;
    }

    // Everything after the last section must still be well-formed.
    void ReadToEnd(int result) {
        while (result == 1)
            result = Read();
    }

    // From the root's start tag up to the node after its end tag.
    int ReadSections() {
        int result = Read();
        while (result == 1 && xmlTextReaderDepth(m_reader) > 0) {
            if (!IsElementAt(1)) {
                result = Read();
                continue;
            }
            result = ReadSection();
        }
        return result;
    }

    // At a child of the root; returns the reader's state after it. Only the
    // first section of each name counts.
    int ReadSection() {
        const char* name = ConstName();
        if (std::strcmp(name, "File") == 0) {
            if (m_content.HasFile)
                return Next();
            m_content.HasFile = true;
            return ReadFile();
        }
        const xmlNode** target = nullptr;
        if (std::strcmp(name, "Groups") == 0)
            target = &m_content.OlderGroups;
        else if (std::strcmp(name, "EventGroups") == 0)
            target = &m_content.EventGroups;
        else if (std::strcmp(name, "Events") == 0)
            target = &m_content.OlderTypes;
        else if (std::strcmp(name, "EventTypes") == 0)
            target = &m_content.EventTypes;
        else if (std::strcmp(name, "Editor") == 0)
            target = &m_content.Editor;
        if (target && !*target)
            *target = CopySection(Expand());
        return Next();
    }

    const xmlNode* CopySection(const xmlNode* section) {
        xmlNode* copy = CopyResolved(section);
        xmlAddChild(m_sectionsRoot, copy);
        return copy;
    }

    // A copy of an element holding only elements, attributes and text, with
    // every entity reference replaced by its text: the copy lives without
    // the document's entity declarations.
    xmlNode* CopyResolved(const xmlNode* element) {
        xmlDoc* sections = m_content.Sections.get();
        const QByteArray name = NodeName(element).toUtf8();
        xmlNode* copy = xmlNewDocNode(sections, nullptr, Xml(name), nullptr);
        if (!copy)
            throw std::bad_alloc();
        for (const xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
            QByteArray attributeName = reinterpret_cast<const char*>(attribute->name);
            if (attribute->ns && attribute->ns->prefix)
                attributeName.prepend(reinterpret_cast<const char*>(attribute->ns->prefix) + QByteArray(":"));
            const QByteArray value = AttributeText(attribute).toUtf8();
            xmlNewProp(copy, Xml(attributeName), Xml(value));
        }
        for (const xmlNode* child = element->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                xmlAddChild(copy, CopyResolved(child));
            } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE ||
                       child->type == XML_ENTITY_REF_NODE) {
                const std::string text = NodeText(child);
                xmlAddChild(copy, xmlNewDocText(sections, reinterpret_cast<const xmlChar*>(text.c_str())));
            }
        }
        return copy;
    }

    static const xmlChar* Xml(const QByteArray& text) {
        return reinterpret_cast<const xmlChar*>(text.constData());
    }

    int ReadFile() {
        if (xmlTextReaderIsEmptyElement(m_reader))
            return Read();
        int result = Read();
        while (result == 1 && xmlTextReaderDepth(m_reader) > 1) {
            if (!IsElementAt(2)) {
                result = Read();
                continue;
            }
            const char* name = ConstName();
            if (std::strcmp(name, "Event") == 0)
                ReadEvent(Expand());
            else if (std::strcmp(name, "Title") == 0)
                ReadTitle(Expand());
            else if (std::strcmp(name, "Source") == 0)
                ReadSource(Expand());
            else if (std::strcmp(name, "TimeFormat") == 0 && !m_hasTimeFormat)
                ReadTimeFormat(Expand());
            result = Next();
        }
        // At File's end tag.
        return result == 1 ? Read() : result;
    }

    void ReadEvent(const xmlNode* element) {
        static constexpr std::array<const char*, 4> names = {"ID", "Time", "Text", "Parameters"};
        const auto [id, time, text, parameters] = FirstChildren(element, names);
        if (!id || !time)
            return;
        const auto type = ElementInt(id);
        if (!type)
            return;
        const auto timeValue = ElementInt(time);
        TDocumentEvent event;
        event.DocumentType = *type;
        event.HasTime = timeValue.has_value();
        event.Event = std::make_unique<TEvent>(-1, timeValue.value_or(0), ElementText(text),
                                               ReadParametersElement(parameters, &m_texts));
        m_content.Events.push_back(std::move(event));
    }

    void ReadTitle(const xmlNode* element) {
        static constexpr std::array<const char*, 2> names = {"Time", "Text"};
        const auto [time, text] = FirstChildren(element, names);
        if (!time || !text)
            return;
        if (const auto timeValue = ElementInt(time))
            m_content.Titles.push_back(std::make_unique<TTitle>(ElementText(text), *timeValue));
    }

    void ReadSource(const xmlNode* element) {
        TDocumentSource source;
        source.Path = ElementText(element).toStdString();
        source.Camera = AttributeInt(element, "Camera");
        source.Offset = AttributeInt(element, "Offset");
        m_content.Sources.push_back(std::move(source));
    }

    void ReadTimeFormat(const xmlNode* element) {
        m_hasTimeFormat = true;
        m_content.TimeFormat =
            ElementText(element) == u"Frames" ? TTimeFormat::Frames : TTimeFormat::Milliseconds;
    }

    xmlTextReader* m_reader;
    TDocumentContent m_content;
    xmlNode* m_sectionsRoot = nullptr;
    TTextCache m_texts;
    bool m_hasTimeFormat = false;
};

} // namespace

TDocumentContent ParseDocument(const std::string& path) {
    TReadDescriptor file(path);
    struct stat info {};
    if (file.Get() < 0 || fstat(file.Get(), &info) != 0)
        ThrowCouldNotOpen();
    TXmlParseGuard guard(static_cast<long long>(info.st_size));
    TAttributeCountScanner scanner;
    TXmlReaderPtr reader(OpenScannedReader(file.Get(), scanner, path.c_str(), SafeParseOptions));
    if (!reader)
        ThrowCouldNotOpen();
    xmlTextReaderSetStructuredErrorHandler(reader.get(), &TXmlParseGuard::OnError, &guard);
    TDocumentContent content = TDocumentParser(reader.get()).Parse();
    if (guard.HasFatalError() || scanner.HasRefused())
        ThrowCouldNotOpen();
    return content;
}

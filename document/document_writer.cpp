// Writes a project document with libxml2's streaming writer: nothing but the
// current element is held in memory, whatever the number of events.

#include "document/entry_limits.h"
#include "document/media_path.h"
#include "document/project_document.h"
#include "document/xml_support.h"

#include "base/exception.h"
#include "model/hot_keys.h"

#include <libxml/xmlwriter.h>

#include <QSet>

#include <cstdio>

namespace {

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Collects the bytes libxml2 hands over and remembers whether the disk
// refused any of them.
struct TOutput {
    std::FILE* File = nullptr;
    bool HasFailed = false;
    long long Written = 0;

    static int Write(void* context, const char* buffer, int length) {
        auto* output = static_cast<TOutput*>(context);
        if (length > 0 && std::fwrite(buffer, 1, static_cast<std::size_t>(length), output->File) !=
                              static_cast<std::size_t>(length)) {
            output->HasFailed = true;
            return -1;
        }
        output->Written += length;
        return length;
    }
};

const xmlChar* Xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// A written byte of text is at most six in the file ("&quot;").
constexpr long long MaxEscapedBytesPerByte = 6;

// A UTF-16 code unit is at most 3 bytes of UTF-8, and written at most 6: what
// the fields take always saves.
constexpr long long MaxUtf8BytesPerChar = 3;
constexpr long long MaxWrittenBytesPerChar = 6;
static_assert(MaxEnteredTextLength * MaxUtf8BytesPerChar <= MaxTextBytes);
static_assert(MaxEnteredTextLength * MaxWrittenBytesPerChar <= MaxWrittenTextBytes);
// The longest parameter becomes one `Parameter` start tag of its own.
static_assert(MaxEnteredParametersLength * MaxWrittenBytesPerChar + 40 <= MaxStartTagBytes);

class TDocumentWriter {
public:
    TDocumentWriter(xmlTextWriter* writer, TOutput& output, const TDocumentWriteContext& context,
                    const std::string& path)
        : m_writer(writer), m_output(output), m_context(context), m_project(context.Project), m_path(path) {}

    void Write() {
        Start("EventGroups");
        for (int32_t index = 0; index < m_project.Groups.Count(); ++index)
            WriteGroup(index);
        End();
        Start("EventTypes");
        for (int32_t index = 0; index < m_project.EventTypes.Count(); ++index)
            WriteType(index);
        End();
        WriteFile();
        WriteEditor();
    }

private:
    void Check(int result) {
        if (result < 0)
            throw TException("Could not write xml document!");
    }
    void Start(const char* name) { Check(xmlTextWriterStartElement(m_writer, Xml(name))); }
    void End() { Check(xmlTextWriterEndElement(m_writer)); }
    void Element(const char* name, const QByteArray& text) {
        Check(xmlTextWriterWriteElement(m_writer, Xml(name), Xml(text.constData())));
    }
    // Texts that could pass what the reader takes are measured as written.
    void Element(const char* name, const QString& text) {
        const QByteArray utf8 = XmlText(text);
        if (utf8.size() > MaxTextBytes)
            ThrowTooLong();
        if (utf8.size() * MaxEscapedBytesPerByte <= MaxWrittenTextBytes) {
            Element(name, utf8);
            return;
        }
        if (Measured([&] { Element(name, utf8); }) > MaxWrittenTextBytes)
            ThrowTooLong();
    }
    template <typename TWrite> long long Measured(TWrite write) {
        Check(xmlTextWriterFlush(m_writer));
        const long long before = m_output.Written;
        write();
        Check(xmlTextWriterFlush(m_writer));
        return m_output.Written - before;
    }
    // The message says which item cannot be saved; the document on disk
    // stays as it was (the caller writes to a temporary file).
    [[noreturn]] void ThrowTooLong() const {
        const std::string where = m_event ? "the event at " + std::to_string(m_event->Time) : m_where;
        throw TException("Could not save: " + where + " is too long for a project document!");
    }
    void Element(const char* name, int32_t value) { Element(name, QByteArray::number(value)); }
    void Flag(const char* name, bool value) { Element(name, QByteArray(value ? "1" : "0")); }
    void Attribute(const char* name, const QByteArray& value) {
        Check(xmlTextWriterWriteAttribute(m_writer, Xml(name), Xml(value.constData())));
    }

    void WriteGroup(int32_t index) {
        const TEventTypeGroup& group = m_project.Groups[index];
        m_where = "group " + std::to_string(index) + " (\"" + Shortened(group.Name) + "\")";
        Start("Group");
        Element("ID", index);
        Element("Name", group.Name);
        Element("Meaning", group.Meaning);
        Flag("Enabled", group.Enabled);
        End();
    }

    void WriteType(int32_t index) {
        const TEventType& type = m_project.EventTypes[index];
        m_where = "event type " + std::to_string(index) + " (\"" + Shortened(type.Name) + "\")";
        Start("Type");
        Element("ID", index);
        Element("Name", type.Name);
        if (type.Key != 0)
            Element("Key", KeyToText(type.Key));
        // A group is only meaningful with its colour code: both or neither.
        if (type.Group >= 0 && type.GroupIndex >= 0) {
            Element("Group", type.Group);
            Element("GroupIndex", type.GroupIndex);
        }
        Element("Offset", type.Offset);
        WriteParameters(type.Parameters);
        Flag("CheckEndPoints", type.CheckEndPoints);
        for (const TSecondaryKey& secondary : type.SecondaryKeys) {
            Start("Secondary");
            Element("Key", KeyToText(secondary.Key));
            Element("Offset", secondary.Offset);
            WriteParameters(secondary.Parameters);
            End();
        }
        End();
    }

    // Ordinary lists are attributes; from the first name an attribute cannot
    // carry unchanged (not an XML name, or repeated) on, the pairs follow as
    // <Parameter Name=".." Value=".."/> children.
    //
    // The start tag stays within what the reader takes (judged by the most
    // its attributes could take once escaped), and attribute names within the
    // reader's dictionary; beyond, pairs become children too.
    void WriteParameters(const TParameters& parameters) {
        if (parameters.IsEmpty())
            return;
        Start("Parameters");
        long long tagBytes = 16;
        const std::size_t attributeCount = AttributeParameterCount(
            parameters, [&](const TParameter& parameter) { return MayBeAttribute(parameter, tagBytes); });
        for (std::size_t i = 0; i < parameters.Count(); ++i) {
            const TParameter& parameter = parameters[i];
            if (i < attributeCount) {
                Attribute(parameter.Name.toUtf8().constData(), XmlText(parameter.Value));
                continue;
            }
            const QByteArray name = XmlText(parameter.Name);
            const QByteArray value = XmlText(parameter.Value);
            const auto write = [&] {
                Start("Parameter");
                Attribute("Name", name);
                Attribute("Value", value);
                End();
            };
            if ((name.size() + value.size()) * MaxEscapedBytesPerByte + 40 <= MaxStartTagBytes)
                write();
            else if (Measured(write) > MaxStartTagBytes)
                ThrowTooLong();
        }
        End();
    }

    bool MayBeAttribute(const TParameter& parameter, long long& tagBytes) {
        const long long valueBytes = static_cast<long long>(parameter.Value.size()) * 3;
        const long long nameBytes = static_cast<long long>(parameter.Name.size()) * 3;
        tagBytes += nameBytes + 4 + valueBytes * MaxEscapedBytesPerByte;
        if (tagBytes > MaxStartTagBytes)
            return false;
        if (m_attributeNames.contains(parameter.Name))
            return true;
        if (m_attributeNameBytes + nameBytes > MaxAttributeNameTotalBytes)
            return false;
        m_attributeNameBytes += nameBytes;
        m_attributeNames.insert(parameter.Name);
        return true;
    }

    void WriteFile() {
        Start("File");
        for (const TDocumentMedium& medium : m_context.Media.Media()) {
            m_where = "the path of medium \"" + Shortened(QString::fromStdString(medium.FileName)) + "\"";
            Start("Source");
            if (medium.Camera >= 0)
                Attribute("Camera", QByteArray::number(medium.Camera));
            if (medium.Offset != 0)
                Attribute("Offset", QByteArray::number(medium.Offset));
            const std::string source = DocumentSourcePath(medium.FileName, m_path);
            if (source.size() * MaxEscapedBytesPerByte > MaxWrittenTextBytes / 2)
                ThrowTooLong();
            Check(
                xmlTextWriterWriteString(m_writer, Xml(XmlText(QString::fromStdString(source)).constData())));
            End();
        }
        const bool isFrames = m_project.TimeFormat == TTimeFormat::Frames;
        Start("TimeFormat");
        const double rate = m_context.Media.FirstVideoFrameRate();
        if (isFrames && rate > 0)
            Attribute("FrameRate", QByteArray::number(rate, 'g', 15));
        Check(xmlTextWriterWriteString(m_writer, Xml(isFrames ? "Frames" : "Milliseconds")));
        End();
        for (const auto& event : m_project.Events()) {
            m_event = event.get();
            Start("Event");
            Element("ID", event->EventType);
            Element("Time", event->Time);
            Element("Text", event->Text);
            WriteParameters(event->Parameters);
            End();
        }
        m_event = nullptr;
        for (const auto& title : m_project.Titles) {
            m_where = "the title at " + std::to_string(title->Time);
            Start("Title");
            Element("Time", title->Time);
            Element("Text", title->Text);
            End();
        }
        End();
    }

    void WriteFrame(const TWindowFrame& frame) {
        Flag("Visible", frame.Visible);
        Element("Left", frame.Left);
        Element("Top", frame.Top);
        Element("Width", frame.Width);
        Element("Height", frame.Height);
    }

    template <std::size_t N>
    void WritePanel(const char* name, TLayoutPanel panel, const std::array<const char*, N>& headings) {
        const TDocumentLayout& layout = m_context.Layout;
        Start(name);
        Flag("Visible", layout.IsPanelVisible(panel));
        Start("Columns");
        for (std::size_t column = 0; column < N; ++column)
            Element(headings[column], layout.ColumnWidth(panel, static_cast<int32_t>(column)));
        End();
        End();
    }

    void WriteEditor() {
        const TDocumentLayout& layout = m_context.Layout;
        Start("Editor");
        WritePanel("Events", TLayoutPanel::Events, EventColumnHeadings);
        WritePanel("Titles", TLayoutPanel::Titles, TitleColumnHeadings);
        Start("Windows");
        for (int32_t index = 0; index < layout.MediaWindowCount(); ++index) {
            const TMediaWindowFrame media = layout.MediaWindowFrame(index);
            Start(("Media" + std::to_string(index)).c_str());
            WriteFrame(media.Frame);
            Element("Size", media.Size);
            End();
        }
        for (const TToolWindow window : AllToolWindows) {
            Start(ToolWindowElementName(window));
            WriteFrame(m_context.Layout.WindowFrame(window));
            End();
        }
        End();
        End();
    }

    static std::string Shortened(const QString& text) {
        return text.size() > 40 ? text.left(40).toStdString() + "..." : text.toStdString();
    }

    xmlTextWriter* m_writer;
    TOutput& m_output;
    const TDocumentWriteContext& m_context;
    const TProject& m_project;
    const std::string& m_path;
    std::string m_where = "the document";
    const TEvent* m_event = nullptr; // while events are written, instead of m_where
    QSet<QString> m_attributeNames;
    long long m_attributeNameBytes = 0;
};

struct TTextWriterFree {
    void operator()(xmlTextWriter* writer) const { xmlFreeTextWriter(writer); }
};

} // namespace

void WriteDocument(const std::string& path, const TDocumentWriteContext& context) {
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw TException("Could not create xml document!");
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
    TOutput output;
    output.File = file.get();
    xmlOutputBuffer* buffer = xmlOutputBufferCreateIO(&TOutput::Write, nullptr, &output, nullptr);
    if (!buffer)
        throw TException("Could not create xml document!");
    // The writer owns the buffer from here on.
    std::unique_ptr<xmlTextWriter, TTextWriterFree> writer(xmlNewTextWriter(buffer));
    if (!writer) {
        xmlOutputBufferClose(buffer);
        throw TException("Could not create xml document!");
    }
    xmlTextWriterSetIndent(writer.get(), 1);
    xmlTextWriterSetIndentString(writer.get(), Xml("  "));
    if (xmlTextWriterStartDocument(writer.get(), "1.0", nullptr, nullptr) < 0)
        throw TException("Could not create xml document!");
    if (xmlTextWriterStartElement(writer.get(), Xml("AVEvents")) < 0)
        throw TException("Could not create root node!");
    TDocumentWriter(writer.get(), output, context, path).Write();
    if (xmlTextWriterEndDocument(writer.get()) < 0 || xmlTextWriterFlush(writer.get()) < 0)
        throw TException("Could not write xml document!");
    writer.reset();
    const bool hasFlushed = std::fflush(file.get()) == 0;
    const bool hasClosed = std::fclose(file.release()) == 0;
    if (!hasFlushed || !hasClosed || output.HasFailed || output.Written == 0)
        throw TException("Could not write xml document!");
}

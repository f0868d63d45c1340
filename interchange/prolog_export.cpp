#include "interchange/prolog_export.h"

#include "base/exception.h"
#include "platform/replace_file.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The atom form before quoting.
QString PlainForm(const QString& text, bool isTypeName) {
    QString form = text;
    for (QChar& c : form) {
        if (c == u',')
            c = u'.';
        else if (c == u'.' && isTypeName)
            c = u'_';
        else if (c == u' ' || c == u'(' || c == u')' || c == u'[' || c == u']')
            c = u'_';
    }
    return form.toLower();
}

bool IsAsciiLower(char c) {
    return c >= 'a' && c <= 'z';
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAlphanumeric(char c) {
    return IsAsciiLower(c) || (c >= 'A' && c <= 'Z') || IsAsciiDigit(c) || c == '_';
}

bool IsUnquotedAtom(const QByteArray& text) {
    if (text.isEmpty() || !IsAsciiLower(text[0]))
        return false;
    for (const char c : text)
        if (!IsAlphanumeric(c))
            return false;
    return true;
}

// -?digits, optionally "." digits and then an exponent: what Prolog reads
// as an integer or a float.
bool IsPrologNumber(const QByteArray& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < n && IsAsciiDigit(text[i]))
            ++i;
        return i > start;
    };
    if (i < n && text[i] == '-')
        ++i;
    if (!digits())
        return false;
    if (i == n)
        return true;
    if (text[i] != '.')
        return false;
    ++i;
    if (!digits())
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (!digits())
            return false;
    }
    return i == n;
}

// The atom form of an all-ASCII text straight into `form`; false (form
// unusable) when the text holds other characters.
bool AsciiPlainForm(const QString& text, bool isTypeName, std::string& form) {
    form.clear();
    for (const QChar qc : text) {
        const char16_t u = qc.unicode();
        if (u >= 0x80)
            return false;
        char c = static_cast<char>(u);
        if (c == ',')
            c = '.';
        else if (c == '.' && isTypeName)
            c = '_';
        else if (c == ' ' || c == '(' || c == ')' || c == '[' || c == ']')
            c = '_';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        form += c;
    }
    return true;
}

QByteArray Quoted(const QByteArray& text) {
    QByteArray quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '\'') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%X\\", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class TFactWriter {
public:
    explicit TFactWriter(std::FILE* file) : m_file(file) { m_buffer.reserve(BufferSize + 4096); }

    void Append(const char* text, std::size_t size) {
        m_buffer.append(text, size);
        if (m_buffer.size() >= BufferSize)
            Flush();
    }
    void Append(const QByteArray& text) { Append(text.constData(), static_cast<std::size_t>(text.size())); }
    void Append(const std::string& text) { Append(text.data(), text.size()); }
    // PrologAtom(text, false), without its allocations for plain ASCII.
    void AppendAtom(const QString& text) {
        if (!text.isEmpty() && AsciiPlainForm(text, false, m_form)) {
            const QByteArray view =
                QByteArray::fromRawData(m_form.data(), static_cast<qsizetype>(m_form.size()));
            if (IsUnquotedAtom(view) || IsPrologNumber(view)) {
                Append(m_form);
                return;
            }
        }
        Append(PrologAtom(text, false));
    }
    void Append(const char* text) { Append(text, std::strlen(text)); }
    void AppendInt(int32_t value) {
        char text[16];
        const auto result = std::to_chars(text, text + sizeof text, value);
        Append(text, static_cast<std::size_t>(result.ptr - text));
    }
    void Flush() {
        if (!m_buffer.empty() && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
            throw TException("Could not write file!");
        m_buffer.clear();
    }

private:
    static constexpr std::size_t BufferSize = 1 << 16;
    std::FILE* m_file;
    std::string m_buffer;
    std::string m_form;
};

void WriteHeader(TFactWriter& out, const TPrologHeader& header) {
    out.Append("begin(0).\r\nend(");
    out.AppendInt(header.LengthMs);
    out.Append(").\r\nstep(");
    out.AppendInt(header.FramePeriodMs);
    out.Append(").\r\n");
    for (const TPrologCamera& camera : header.Cameras) {
        out.Append("camera(");
        out.AppendInt(camera.Camera);
        out.Append(", ");
        out.AppendInt(camera.Width);
        out.Append(", ");
        out.AppendInt(camera.Height);
        out.Append(").\r\n");
    }
}

void WriteEvent(TFactWriter& out, const QByteArray& factName, const TEvent& event) {
    out.Append(factName);
    out.Append("(");
    out.AppendInt(event.Time);
    out.Append(", [");
    bool isFirst = true;
    for (const TParameter& parameter : event.Parameters) {
        out.Append(isFirst ? "(" : ", (");
        isFirst = false;
        out.AppendAtom(parameter.Name);
        out.Append(", ");
        out.AppendAtom(parameter.Value);
        out.Append(")");
    }
    out.Append("]).\r\n");
}

void WriteFacts(std::FILE* file, const TProject& project, const TPrologHeader& header) {
    TFactWriter out(file);
    WriteHeader(out, header);
    // One pass sorts the events into their types, keeping time order.
    std::vector<std::vector<const TEvent*>> byType(static_cast<std::size_t>(project.EventTypes.Count()));
    for (const auto& event : project.Events())
        if (project.EventTypes.IsValidIndex(event->EventType))
            byType[static_cast<std::size_t>(event->EventType)].push_back(event.get());
    for (int32_t type = 0; type < project.EventTypes.Count(); ++type) {
        const auto& events = byType[static_cast<std::size_t>(type)];
        if (events.empty())
            continue;
        const QByteArray factName = PrologFactName(project.EventTypes[type].Name);
        for (const TEvent* event : events)
            WriteEvent(out, factName, *event);
    }
    out.Flush();
}

} // namespace

QByteArray PrologAtom(const QString& text, bool isTypeName) {
    if (text.isEmpty())
        return QByteArrayLiteral("''");
    const QByteArray form = PlainForm(text, isTypeName).toUtf8();
    if (IsUnquotedAtom(form) || IsPrologNumber(form))
        return form;
    return Quoted(form);
}

QByteArray PrologFactName(const QString& typeName) {
    const QByteArray name = "event_" + PlainForm(typeName, true).toUtf8();
    return IsUnquotedAtom(name) ? name : Quoted(name);
}

void ExportProlog(const std::string& fileName, const TProject& project, const TPrologHeader& header) {
    SafeSave(fileName, [&](const std::string& tempPath) {
        std::unique_ptr<std::FILE, TFileClose> file(std::fopen(tempPath.c_str(), "wb"));
        if (!file)
            throw TException("Could not create file!");
        WriteFacts(file.get(), project, header);
        if (std::fclose(file.release()) != 0)
            throw TException("Could not write file!");
    });
}

#include "platform/ini_file.h"

#include "base/exception.h"
#include "platform/file_descriptor.h"
#include "platform/replace_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

// As the Windows INI reader does: one pair of matching quotes around the
// value is not part of it.
std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

enum class TLineKind { Other, Section, Key };

struct TLine {
    TLine() = default;
    explicit TLine(std::string text, TLineKind kind = TLineKind::Other, std::string name = {},
                   std::string value = {})
        : Text(std::move(text)), Kind(kind), Name(std::move(name)), Value(std::move(value)) {}

    std::string Text; // as in the file, without its line end
    TLineKind Kind = TLineKind::Other;
    std::string Name; // section name or key, trimmed
    std::string Value;
    size_t Section = 0; // for keys: index of the header line, npos before any header
};

TLine ParseLine(const std::string& text, size_t currentSection) {
    TLine line(text);
    const std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#')
        return line;
    if (trimmed[0] == '[') {
        const auto close = trimmed.find(']');
        if (close != std::string::npos) {
            line.Kind = TLineKind::Section;
            line.Name = Trim(trimmed.substr(1, close - 1));
        }
        return line;
    }
    const auto equals = trimmed.find('=');
    if (equals == std::string::npos || currentSection == std::string::npos)
        return line;
    line.Name = Trim(trimmed.substr(0, equals));
    if (line.Name.empty())
        return line;
    line.Kind = TLineKind::Key;
    line.Value = Unquoted(Trim(trimmed.substr(equals + 1)));
    line.Section = currentSection;
    return line;
}

// A value that would lose something on reading (blanks at its ends, or
// quotes around it) is written inside one more pair of quotes.
std::string Quoted(const std::string& value) {
    const bool needsQuotes = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                                Unquoted(value).size() != value.size());
    return needsQuotes ? '"' + value + '"' : value;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Unpaired surrogates and an odd last byte become U+FFFD.
std::string Utf8FromUtf16(const std::string& bytes, bool isBigEndian) {
    const auto unit = [&](size_t i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return static_cast<char32_t>(isBigEndian ? (first << 8) | second : (second << 8) | first);
    };
    const size_t count = bytes.size() / 2;
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0)
        AppendUtf8(out, 0xFFFD);
    return out;
}

// Bytes that are not UTF-8 become U+FFFD.
std::string Utf16FromUtf8(const std::string& text, bool isBigEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](char32_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += isBigEndian ? high : low;
        out += isBigEndian ? low : high;
    };
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80             ? 1
                              : (lead & 0xE0) == 0xC0 ? 2
                              : (lead & 0xF0) == 0xE0 ? 3
                              : (lead & 0xF8) == 0xF0 ? 4
                                                      : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool isValid = length > 0 && i + length <= text.size();
        for (size_t k = 1; isValid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            isValid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!isValid || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            c = 0xFFFD;
            i += 1;
        } else {
            i += length;
        }
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

enum class TLoadMode { Lenient, ForRewrite };

// The whole file in memory: lines plus what is needed to write it back the
// way it was.
class TIniDocument {
public:
    static TIniDocument Load(const std::string& fileName, TLoadMode mode) {
        TIniDocument document;
        std::optional<std::string> bytes = ReadFile(fileName, mode);
        if (!bytes)
            return document;
        std::string& data = *bytes;
        if (data.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
            document.m_encoding = TEncoding::Utf8WithMark;
            data.erase(0, kByteOrderMark.size());
        } else if (data.compare(0, 2, "\xFF\xFE") == 0) {
            document.m_encoding = TEncoding::Utf16Le;
            data = Utf8FromUtf16(data.substr(2), false);
        } else if (data.compare(0, 2, "\xFE\xFF") == 0) {
            document.m_encoding = TEncoding::Utf16Be;
            data = Utf8FromUtf16(data.substr(2), true);
        }
        // The first line end sets the style kept on rewrite.
        const size_t end = data.find_first_of("\r\n");
        if (end != std::string::npos)
            document.m_lineEnd = data[end] == '\n' ? "\n" : data.compare(end, 2, "\r\n") == 0 ? "\r\n" : "\r";
        document.Parse(data);
        return document;
    }

    std::vector<std::string> SectionNames() const {
        std::vector<std::string> names;
        for (const TLine& line : m_lines)
            if (line.Kind == TLineKind::Section && !Contains(names, line.Name))
                names.push_back(line.Name);
        return names;
    }

    std::vector<std::string> KeyNames(const std::string& section) const {
        std::vector<std::string> names;
        for (const TLine& line : m_lines)
            if (IsKeyOf(line, section) && !Contains(names, line.Name))
                names.push_back(line.Name);
        return names;
    }

    const TLine* FindKey(const std::string& section, const std::string& key) const {
        for (const TLine& line : m_lines)
            if (IsKeyOf(line, section) && SameName(line.Name, key))
                return &line;
        return nullptr;
    }

    void Set(const std::string& section, const std::string& key, const std::string& value) {
        for (TLine& line : m_lines)
            if (IsKeyOf(line, section) && SameName(line.Name, key)) {
                line.Value = value;
                line.Text = line.Name + "=" + Quoted(value);
                return;
            }
        Insert(section, key, value);
    }

    std::string Serialise() const {
        std::string data;
        for (const TLine& line : m_lines)
            data += line.Text + m_lineEnd;
        switch (m_encoding) {
        case TEncoding::Utf8:
            return data;
        case TEncoding::Utf8WithMark:
            return kByteOrderMark + data;
        case TEncoding::Utf16Le:
            return "\xFF\xFE" + Utf16FromUtf8(data, false);
        case TEncoding::Utf16Be:
            return "\xFE\xFF" + Utf16FromUtf8(data, true);
        }
        return data;
    }

private:
    static bool Contains(const std::vector<std::string>& names, const std::string& name) {
        for (const std::string& existing : names)
            if (SameName(existing, name))
                return true;
        return false;
    }

    bool IsKeyOf(const TLine& line, const std::string& section) const {
        return line.Kind == TLineKind::Key && SameName(m_lines[line.Section].Name, section);
    }

    // Lines end in CR LF, LF or CR alone, mixed as they come.
    void Parse(const std::string& data) {
        size_t section = std::string::npos;
        size_t start = 0;
        while (start < data.size()) {
            size_t end = data.find_first_of("\r\n", start);
            if (end == std::string::npos)
                end = data.size();
            m_lines.push_back(ParseLine(data.substr(start, end - start), section));
            if (m_lines.back().Kind == TLineKind::Section)
                section = m_lines.size() - 1;
            start = data.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        }
    }

    // A new key goes after the last key of the section's last occurrence, so
    // comments and blank lines that close the section stay where they are.
    void Insert(const std::string& section, const std::string& key, const std::string& value) {
        TLine line(key + "=" + Quoted(value), TLineKind::Key, key, value);
        size_t header = std::string::npos;
        for (size_t i = 0; i < m_lines.size(); ++i)
            if (m_lines[i].Kind == TLineKind::Section && SameName(m_lines[i].Name, section))
                header = i;
        if (header == std::string::npos) {
            if (!m_lines.empty() && !Trim(m_lines.back().Text).empty())
                m_lines.push_back(TLine{});
            m_lines.push_back(TLine("[" + section + "]", TLineKind::Section, section));
            line.Section = m_lines.size() - 1;
            m_lines.push_back(line);
            return;
        }
        size_t after = header;
        for (size_t i = header + 1; i < m_lines.size() && m_lines[i].Kind != TLineKind::Section; ++i)
            if (m_lines[i].Kind == TLineKind::Key)
                after = i;
        line.Section = header;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(after + 1), line);
        // Key lines below the insertion point refer to headers by index.
        for (size_t i = after + 2; i < m_lines.size(); ++i)
            if (m_lines[i].Kind == TLineKind::Key && m_lines[i].Section != std::string::npos &&
                m_lines[i].Section > after)
                ++m_lines[i].Section;
    }

    static std::optional<std::string> ReadFile(const std::string& fileName, TLoadMode mode) {
        TFileDescriptor fd(open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
        std::string data;
        const int error = fd.IsOpen() ? ReadAll(fd.Get(), data) : errno;
        if (error == 0)
            return data;
        if (mode == TLoadMode::Lenient || error == ENOENT)
            return std::nullopt;
        throw TException("Could not read settings file \"" + fileName + "\": " + std::strerror(error));
    }

    // 0 or the errno of the failure; a folder or device is not a settings file.
    static int ReadAll(int fd, std::string& data) {
        struct stat info {};
        if (fstat(fd, &info) != 0)
            return errno;
        if (!S_ISREG(info.st_mode))
            return EISDIR;
        char buffer[8192];
        for (;;) {
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count == 0)
                return 0;
            if (count < 0 && errno != EINTR)
                return errno;
            if (count > 0)
                data.append(buffer, static_cast<size_t>(count));
        }
    }

    enum class TEncoding { Utf8, Utf8WithMark, Utf16Le, Utf16Be };

    std::vector<TLine> m_lines;
    std::string m_lineEnd = "\r\n";
    TEncoding m_encoding = TEncoding::Utf8;
};

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

void CheckSectionName(const std::string& section) {
    const std::string trimmed = Trim(section);
    if (trimmed.empty() || trimmed != section || HasLineBreak(section) ||
        section.find(']') != std::string::npos)
        throw TException("Invalid settings section name \"" + section + "\"!");
}

void CheckKeyValue(const std::string& key, const std::string& value) {
    const std::string trimmed = Trim(key);
    if (trimmed.empty() || trimmed != key || HasLineBreak(key) || key.find('=') != std::string::npos ||
        key[0] == '[' || key[0] == ';' || key[0] == '#')
        throw TException("Invalid settings key \"" + key + "\"!");
    if (HasLineBreak(value))
        throw TException("Invalid settings value for key \"" + key + "\"!");
}

void WriteWholeFile(const std::string& path, const std::string& data) {
    TFileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.IsOpen())
        throw TException(std::strerror(errno));
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = write(fd.Get(), data.data() + written, data.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw TException(std::strerror(errno));
        written += static_cast<size_t>(count);
    }
    if (fd.Close() != 0)
        throw TException(std::strerror(errno));
}

} // namespace

TIniFile::TIniFile(std::string fileName) : m_fileName(std::move(fileName)) {}

std::vector<std::string> TIniFile::ReadSections() const {
    return TIniDocument::Load(m_fileName, TLoadMode::Lenient).SectionNames();
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
    return TIniDocument::Load(m_fileName, TLoadMode::Lenient).KeyNames(section);
}

TIniFile::TKeyValues TIniFile::ReadSectionValues(const std::string& section) const {
    const TIniDocument document = TIniDocument::Load(m_fileName, TLoadMode::Lenient);
    TKeyValues values;
    for (const std::string& key : document.KeyNames(section))
        values.emplace_back(key, document.FindKey(section, key)->Value);
    return values;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return TIniDocument::Load(m_fileName, TLoadMode::Lenient).FindKey(section, key) != nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
    const TIniDocument document = TIniDocument::Load(m_fileName, TLoadMode::Lenient);
    const TLine* line = document.FindKey(section, key);
    return line ? line->Value : fallback;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const {
    const std::string text = ReadString(section, key, std::string());
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    int32_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end)
        return fallback;
    return value;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    WriteStrings(section, {{key, value}});
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteStrings(section, {{key, std::to_string(value)}});
}

void TIniFile::WriteStrings(const std::string& section, const TKeyValues& values) {
    CheckSectionName(section);
    for (const auto& [key, value] : values)
        CheckKeyValue(key, value);
    TIniDocument document = TIniDocument::Load(m_fileName, TLoadMode::ForRewrite);
    for (const auto& [key, value] : values)
        document.Set(section, key, value);
    const std::string data = document.Serialise();
    try {
        SafeSave(m_fileName, [&](const std::string& tempPath) { WriteWholeFile(tempPath, data); });
    } catch (const TException& error) {
        throw TException("Could not write settings file \"" + m_fileName + "\": " + error.what());
    }
}

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
    line.Value = Trim(trimmed.substr(equals + 1));
    line.Section = currentSection;
    return line;
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
            document.m_hasByteOrderMark = true;
            data.erase(0, kByteOrderMark.size());
        }
        document.m_lineEnd =
            data.find("\r\n") != std::string::npos || data.find('\n') == std::string::npos ? "\r\n" : "\n";
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
                line.Text = line.Name + "=" + value;
                return;
            }
        Insert(section, key, value);
    }

    std::string Serialise() const {
        std::string data = m_hasByteOrderMark ? kByteOrderMark : std::string();
        for (const TLine& line : m_lines)
            data += line.Text + m_lineEnd;
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

    void Parse(const std::string& data) {
        size_t section = std::string::npos;
        size_t start = 0;
        while (start < data.size()) {
            size_t end = data.find('\n', start);
            if (end == std::string::npos)
                end = data.size();
            std::string text = data.substr(start, end - start);
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            m_lines.push_back(ParseLine(text, section));
            if (m_lines.back().Kind == TLineKind::Section)
                section = m_lines.size() - 1;
            start = end + 1;
        }
    }

    // A new key goes after the last key of the section's last occurrence, so
    // comments and blank lines that close the section stay where they are.
    void Insert(const std::string& section, const std::string& key, const std::string& value) {
        TLine line(key + "=" + value, TLineKind::Key, key, value);
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

    std::vector<TLine> m_lines;
    std::string m_lineEnd = "\r\n";
    bool m_hasByteOrderMark = false;
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

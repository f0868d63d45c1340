#include "interchange/prolog_import.h"

#include "base/exception.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace {

enum class TState { Name, Time, List, Pair, PName, PValue, Next, Close, End, Stopped };

// Where a quoted atom's characters go and how far its escape has come.
enum class TQuote { None, Open, Escape, Hex, ClosePending };

bool StartsWithEvent(std::string_view name) {
    static constexpr char Prefix[] = "event_";
    if (name.size() < 6)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != Prefix[i])
            return false;
    }
    return true;
}

// What the fact reader looks for in a run of characters: the character that
// ends a token, and those the character reader treats specially.
enum TCharClass : uint8_t { Plain = 0, Special = 1, OpenParenthesis = 2, Comma = 4, CloseParenthesis = 8 };

constexpr std::array<uint8_t, 256> CharClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c)
        if (IsCSpace(c) || c == '%' || c == '\'')
            classes[static_cast<std::size_t>(c)] = Special;
    classes['('] = OpenParenthesis;
    classes[','] = Comma;
    classes[')'] = CloseParenthesis;
    return classes;
}();

uint8_t ClassOf(char c) {
    return CharClasses[static_cast<unsigned char>(c)];
}

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

class TPrologReader::TImpl {
public:
    explicit TImpl(TProject& project) : m_project(project) {}

    bool Feed(const char* data, std::size_t size) {
        const char* at = data;
        const char* const end = data + size;
        while (at != end && m_state != TState::Stopped) {
            if (IsBetweenFacts()) {
                at = SkipBlanks(at, end);
                if (at == end)
                    break;
                if (const char* next = ReadWholeFact(at, end)) {
                    at = next;
                    continue;
                }
            }
            const std::size_t run = PlainRun(at, static_cast<std::size_t>(end - at));
            if (run > 0) {
                TokenBuffer().append(at, run);
                at += run;
            } else {
                Take(*at++);
            }
        }
        return m_state != TState::Stopped;
    }

    // How many of the next characters simply extend the name or value being
    // read (nothing that ends it, starts a comment, a quote or white space).
    std::size_t PlainRun(const char* data, std::size_t size) const {
        if (m_quote != TQuote::None || m_isInComment)
            return 0;
        char stop;
        switch (m_state) {
        case TState::Name:
            stop = '(';
            break;
        case TState::PName:
            stop = ',';
            break;
        case TState::PValue:
            stop = ')';
            break;
        default:
            return 0;
        }
        std::size_t n = 0;
        while (n < size) {
            const char c = data[n];
            if (c == stop || c == '%' || c == '\'' || IsCSpace(static_cast<unsigned char>(c)))
                break;
            ++n;
        }
        return n;
    }

    std::string& TokenBuffer() { return QuotedTarget(); }

    // Exported facts take some 30 bytes at the least; room reserved beyond
    // the facts read is address space only, never touched.
    void ReserveFor(std::size_t inputBytes) { m_events.reserve(m_events.size() + inputBytes / 24); }

    void Finish() {
        InsertImported(m_project, std::move(m_events));
        m_events.clear();
    }

private:
    bool IsBetweenFacts() const {
        return m_state == TState::Name && m_name.empty() && m_quote == TQuote::None && !m_isInComment;
    }

    static const char* SkipBlanks(const char* at, const char* end) {
        while (at != end && IsCSpace(static_cast<unsigned char>(*at)))
            ++at;
        return at;
    }

    // The end of the run of characters before the first of class `stop`, or
    // null when the run holds something the character reader treats
    // specially (white space it drops, a comment, a quote) or the block ends
    // first. Other stops within the run pass as they do there.
    static const char* PlainTokenEnd(const char* at, const char* end, TCharClass stop) {
        for (; at != end; ++at) {
            const uint8_t charClass = ClassOf(*at);
            if (charClass == stop)
                return at;
            if (charClass == Special)
                return nullptr;
        }
        return nullptr;
    }

    // Up to nine digits cannot leave the int32 range; longer runs go through
    // the full conversion.
    static bool ReadTime(const char* begin, const char* end, int32_t& time) {
        if (begin == end)
            return false;
        if (end - begin > 9) {
            const auto result = std::from_chars(begin, end, time);
            return result.ec == std::errc() && result.ptr == end;
        }
        int32_t value = 0;
        for (const char* c = begin; c != end; ++c)
            value = value * 10 + (*c - '0');
        time = value;
        return true;
    }

    // Facts as the exporter writes them make up nearly every file: this reads
    // one that lies whole in the block, has no comment and no quoted atom,
    // and is well formed, and returns where it ends. Anything else returns
    // null before changing a thing, and the character reader takes the fact
    // from its start, so both give the same events, types and errors.
    const char* ReadWholeFact(const char* at, const char* end) {
        const char* const nameBegin = at;
        at = PlainTokenEnd(at, end, OpenParenthesis);
        if (at == nullptr)
            return nullptr;
        const std::string_view name(nameBegin, static_cast<std::size_t>(at - nameBegin));
        if (!StartsWithEvent(name)) {
            const void* lineEnd = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
            return lineEnd == nullptr ? nullptr : static_cast<const char*>(lineEnd) + 1;
        }
        const char* const digits = ++at;
        while (at != end && static_cast<unsigned char>(*at - '0') < 10)
            ++at;
        int32_t time = 0;
        if (at == end || *at != ',' || !ReadTime(digits, at, time))
            return nullptr;
        at = SkipBlanks(at + 1, end);
        if (at == end || *at != '[')
            return nullptr;
        at = ReadPairs(at + 1, end);
        if (at == nullptr)
            return nullptr;
        for (const char expected : {')', '.'}) {
            at = SkipBlanks(at, end);
            if (at == end || *at != expected)
                return nullptr;
            ++at;
        }
        TParameters parameters;
        parameters.Reserve(m_pairs.size());
        for (const auto& [pname, value] : m_pairs)
            parameters.AddParameter({m_texts.Text(pname), ValueText(value)});
        Keep(
            std::make_unique<TEvent>(m_types.TypeOf(name.substr(6)), time, QString(), std::move(parameters)));
        return at;
    }

    // The pairs of a list after its "[" into m_pairs; where the "]" ends, or
    // null as ReadWholeFact.
    const char* ReadPairs(const char* at, const char* end) {
        m_pairs.clear();
        for (at = SkipBlanks(at, end); at != end && *at == '(';) {
            const char* const nameBegin = at + 1;
            at = PlainTokenEnd(nameBegin, end, Comma);
            if (at == nullptr)
                return nullptr;
            const char* const valueBegin = SkipBlanks(at + 1, end);
            const char* const valueEnd = PlainTokenEnd(valueBegin, end, CloseParenthesis);
            if (valueEnd == nullptr)
                return nullptr;
            m_pairs.push_back({{nameBegin, static_cast<std::size_t>(at - nameBegin)},
                               {valueBegin, static_cast<std::size_t>(valueEnd - valueBegin)}});
            at = SkipBlanks(valueEnd + 1, end);
            if (at != end && *at == ',')
                at = SkipBlanks(at + 1, end);
            else if (at == end || *at != ']')
                return nullptr;
        }
        return at != end && *at == ']' ? at + 1 : nullptr;
    }

    void Keep(std::unique_ptr<TEvent> event) { m_events.push_back(std::move(event)); }

    // Values use "," where Prolog writes ".".
    const QString& ValueText(std::string_view value) {
        if (value.find('.') == std::string_view::npos)
            return m_texts.Text(value);
        m_pvalue.assign(value);
        for (char& c : m_pvalue)
            if (c == '.')
                c = ',';
        return m_texts.Text(m_pvalue);
    }

    void Take(char c) {
        if (m_quote != TQuote::None && TakeQuoted(c))
            return;
        if (m_isInComment) {
            m_isInComment = c != '\n';
            return;
        }
        if (c == '%') {
            m_isInComment = true;
            return;
        }
        if (IsCSpace(static_cast<unsigned char>(c)))
            return;
        if (c == '\'' && StartsQuote()) {
            m_quote = TQuote::Open;
            return;
        }
        Step(c);
    }

    // A quote opens an atom only as the first character of a name or value;
    // inside one it is an ordinary character (older exports wrote it so).
    bool StartsQuote() const {
        switch (m_state) {
        case TState::Name:
            return m_name.empty();
        case TState::PName:
            return m_pname.empty();
        case TState::PValue:
            return m_pvalue.empty();
        default:
            return false;
        }
    }

    std::string& QuotedTarget() {
        return m_state == TState::Name ? m_name : m_state == TState::PName ? m_pname : m_pvalue;
    }

    // True when c belonged to the quoted atom.
    bool TakeQuoted(char c) {
        std::string& target = QuotedTarget();
        switch (m_quote) {
        case TQuote::Open:
            if (c == '\\')
                m_quote = TQuote::Escape;
            else if (c == '\'')
                m_quote = TQuote::ClosePending;
            else
                target += c;
            return true;
        case TQuote::Escape:
            m_quote = TQuote::Open;
            if (c == 'x') {
                m_hex = 0;
                m_quote = TQuote::Hex;
            } else {
                target += c == 'n' ? '\n' : c == 't' ? '\t' : c;
            }
            return true;
        case TQuote::Hex:
            if (c == '\\') {
                AppendCodePoint(target, m_hex);
                m_quote = TQuote::Open;
            } else {
                const int digit = c >= '0' && c <= '9'   ? c - '0'
                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : -1;
                if (digit < 0 || m_hex > 0x10FFFF)
                    m_state = TState::Stopped;
                else
                    m_hex = m_hex * 16 + static_cast<uint32_t>(digit);
            }
            return true;
        case TQuote::ClosePending:
            if (c == '\'') {
                target += '\'';
                m_quote = TQuote::Open;
                return true;
            }
            m_quote = TQuote::None;
            return false;
        case TQuote::None:
            break;
        }
        return false;
    }

    static void AppendCodePoint(std::string& target, uint32_t code) {
        const char32_t c = code > 0x10FFFF ? U'\uFFFD' : static_cast<char32_t>(code);
        target += QString::fromUcs4(&c, 1).toStdString();
    }

    void Step(char c) {
        switch (m_state) {
        case TState::Name:
            if (c != '(') {
                m_name += c;
            } else if (StartsWithEvent(m_name)) {
                m_type = m_types.TypeOf(std::string_view(m_name).substr(6));
                m_parameters = TParameters();
                // Facts of one file mostly carry the same number of pairs.
                m_parameters.Reserve(m_lastParameterCount);
                m_name.clear();
                m_state = TState::Time;
            } else {
                m_name.clear();
                m_isInComment = true;
            }
            break;
        case TState::Time:
            if (c >= '0' && c <= '9')
                m_number += c;
            else if (c == ',')
                ConvertTime();
            else
                m_state = TState::Stopped;
            break;
        case TState::List:
            m_state = c == '[' ? TState::Pair : TState::Stopped;
            break;
        case TState::Pair:
            if (c == '(') {
                m_pname.clear();
                m_pvalue.clear();
                m_state = TState::PName;
            } else {
                m_state = c == ']' ? TState::Close : TState::Stopped;
            }
            break;
        case TState::PName:
            if (c == ',')
                m_state = TState::PValue;
            else
                m_pname += c;
            break;
        case TState::PValue:
            if (c == ')')
                AddPair();
            else
                m_pvalue += c;
            break;
        case TState::Next:
            if (c == ']')
                m_state = TState::Close;
            else if (c == ',')
                m_state = TState::Pair;
            break;
        case TState::Close:
            m_state = c == ')' ? TState::End : TState::Stopped;
            break;
        case TState::End:
            if (c == '.') {
                m_lastParameterCount = m_parameters.Count();
                Keep(std::make_unique<TEvent>(m_type, m_time, QString(), std::move(m_parameters)));
                m_parameters = TParameters();
                m_state = TState::Name;
            } else {
                m_state = TState::Stopped;
            }
            break;
        case TState::Stopped:
            break;
        }
    }

    void ConvertTime() {
        int32_t time = 0;
        const char* begin = m_number.data();
        const char* end = begin + m_number.size();
        const auto result = std::from_chars(begin, end, time);
        if (m_number.empty() || result.ec != std::errc() || result.ptr != end) {
            m_state = TState::Stopped;
            throw TConvertError("'" + m_number + "' is not a valid integer value!");
        }
        m_time = time;
        m_number.clear();
        m_state = TState::List;
    }

    void AddPair() {
        for (char& c : m_pvalue)
            if (c == '.')
                c = ',';
        m_parameters.AddParameter({m_texts.Text(m_pname), m_texts.Text(m_pvalue)});
        m_state = TState::Next;
    }

    TProject& m_project;
    TState m_state = TState::Name;
    TQuote m_quote = TQuote::None;
    uint32_t m_hex = 0;
    bool m_isInComment = false;
    std::string m_name;
    std::string m_number;
    std::string m_pname;
    std::string m_pvalue;
    int32_t m_type = -1;
    int32_t m_time = 0;
    TParameters m_parameters;
    std::vector<std::unique_ptr<TEvent>> m_events;
    TTypesByName m_types{m_project};
    std::vector<std::pair<std::string_view, std::string_view>> m_pairs;
    TRecentTexts m_texts;
    std::size_t m_lastParameterCount = 0;
};

TPrologReader::TPrologReader(TProject& project) : m_impl(std::make_unique<TImpl>(project)) {}

TPrologReader::~TPrologReader() = default;

bool TPrologReader::Feed(const char* data, std::size_t size) {
    return m_impl->Feed(data, size);
}

void TPrologReader::ReserveFor(std::size_t inputBytes) {
    m_impl->ReserveFor(inputBytes);
}

void TPrologReader::Finish() {
    m_impl->Finish();
}

void ImportProlog(const std::string& fileName, const TImportTarget& target) {
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw TException("Could not open file!");
    RunBatched(target.Host, [&](TCaptureHost& host) {
        host.EventListChanged();
        TPrologReader reader(target.Project);
        std::error_code sizeError;
        const auto fileBytes = std::filesystem::file_size(fileName, sizeError);
        if (!sizeError)
            reader.ReserveFor(static_cast<std::size_t>(fileBytes));
        try {
            static constexpr std::size_t BlockSize = 131072;
            std::vector<char> block(BlockSize);
            std::size_t count;
            while ((count = std::fread(block.data(), 1, BlockSize, file.get())) > 0)
                if (!reader.Feed(block.data(), count))
                    break;
            // A folder opens on Linux but cannot be read.
            if (std::ferror(file.get()))
                throw TException("Could not open file!");
        } catch (...) {
            reader.Finish();
            throw;
        }
        reader.Finish();
    });
}

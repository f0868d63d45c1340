#include "document/settings.h"

#include "base/exception.h"
#include "document/input_devices.h"

#include <QChar>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

// One code point of UTF-8 text, or nullopt for a byte that does not start a
// valid sequence (it is then compared as a raw byte).
std::optional<char32_t> DecodeUtf8(const std::string& text, size_t at, size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    length = 1;
    if (lead < 0x80)
        return lead;
    size_t count = 0;
    char32_t codePoint = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 2;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4;
        codePoint = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + count > text.size())
        return std::nullopt;
    for (size_t i = 1; i < count; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[count] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return std::nullopt;
    length = count;
    return codePoint;
}

// Byte length of the beginning of path that matches prefix ignoring letter
// case, or nullopt. Working on bytes keeps any file name intact, valid UTF-8
// or not.
std::optional<size_t> MatchPrefix(const std::string& prefix, const std::string& path) {
    size_t inPrefix = 0;
    size_t inPath = 0;
    while (inPrefix < prefix.size()) {
        if (inPath >= path.size())
            return std::nullopt;
        size_t prefixLength = 0;
        size_t pathLength = 0;
        const auto prefixCode = DecodeUtf8(prefix, inPrefix, prefixLength);
        const auto pathCode = DecodeUtf8(path, inPath, pathLength);
        if (prefixCode && pathCode) {
            if (QChar::toCaseFolded(*prefixCode) != QChar::toCaseFolded(*pathCode))
                return std::nullopt;
        } else if (prefixCode || pathCode || prefix[inPrefix] != path[inPath]) {
            return std::nullopt;
        }
        inPrefix += prefixLength;
        inPath += pathLength;
    }
    return inPath;
}

bool IsWindowsPath(const std::string& path) {
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return hasDrive || path.find('\\') != std::string::npos;
}

} // namespace

std::string SettingsFileName() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw TException("Could not find the program's folder: " + error.message());
    return SettingsFileName(executable.string());
}

std::string SettingsFileName(const std::string& executablePath) {
    return (std::filesystem::path(executablePath).parent_path() / "Scenemark.ini").string();
}

TPathTransList ReadPathTranslations(const TIniFile& settings) {
    TPathTransList translations;
    for (auto& [key, value] : settings.ReadSectionValues(SectionMediaPathTrans))
        translations.push_back(TPathTrans{key, value});
    return translations;
}

std::string TranslateMediaPath(const TPathTransList& translations, const std::string& path) {
    for (const TPathTrans& entry : translations) {
        const auto matched = MatchPrefix(entry.Prefix, path);
        if (!matched)
            continue;
        std::string rest = path.substr(*matched);
        // A document written on Windows names its media with '\'; once the
        // drive is replaced by a POSIX folder the rest must follow suit.
        if (IsWindowsPath(entry.Prefix) && !entry.Replacement.empty() && entry.Replacement[0] == '/')
            std::replace(rest.begin(), rest.end(), '\\', '/');
        return entry.Replacement + rest;
    }
    return path;
}

void ReadSettings(const TIniFile& settings, TPathTransList& pathTranslations,
                  const THotKeyReader& readHotKeys) {
    pathTranslations = ReadPathTranslations(settings);
    if (readHotKeys)
        readHotKeys(settings);
    ReadBackendOrder(settings);
}

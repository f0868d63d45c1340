#include "document/media_path.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool IsWindowsAbsolute(const std::string& path) {
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return hasDrive || (!path.empty() && path[0] == '\\');
}

// The folder of a document, absolute, with its trailing separator.
std::string DocumentFolder(const std::string& documentPath) {
    std::error_code error;
    fs::path folder = fs::absolute(fs::path(documentPath), error).parent_path();
    std::string text = folder.string();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

} // namespace

std::string DocumentSourcePath(const std::string& mediumPath, const std::string& documentPath) {
    if (mediumPath.empty() || IsWindowsAbsolute(mediumPath))
        return mediumPath;
    std::error_code error;
    const std::string absolute = fs::absolute(fs::path(mediumPath), error).string();
    if (error)
        return mediumPath;
    const std::string folder = DocumentFolder(documentPath);
    if (absolute.size() > folder.size() && absolute.compare(0, folder.size(), folder) == 0)
        return absolute.substr(folder.size());
    return absolute;
}

std::string ResolveSourcePath(const std::string& source, const std::string& documentPath) {
    if (source.empty() || source.front() == '/' || IsWindowsAbsolute(source))
        return source;
    const std::string folder = DocumentFolder(documentPath);
    std::string resolved = folder + source;
    if (source.find('\\') == std::string::npos)
        return resolved;
    std::error_code error;
    if (fs::exists(fs::path(resolved), error))
        return resolved;
    std::string converted = source;
    for (char& c : converted)
        if (c == '\\')
            c = '/';
    return folder + converted;
}

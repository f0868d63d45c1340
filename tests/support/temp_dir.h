#pragma once
// A fresh folder under the system temporary directory, removed with its
// contents when the object goes away.

#include <filesystem>
#include <string>

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Path of a file inside the folder, as text.
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

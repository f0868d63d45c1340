#pragma once
// Media paths in project documents. A medium stored in the document's folder
// or below is written relative to that folder, so a project folder can be
// moved or copied whole; anything else is written as it is.

#include <string>

// The `Source` text for a medium opened from `mediumPath`, in a document
// saved as `documentPath`. Folders are compared with letter case: on Linux
// "/data/Proj" and "/data/proj" are different folders.
std::string DocumentSourcePath(const std::string& mediumPath, const std::string& documentPath);

// The path to open (before media path translation) for a `Source` text read
// from the document at `documentPath`. Absolute paths, POSIX or Windows
// ("C:\...", "\\server\..."), come back unchanged; relative ones are resolved
// against the document's folder. A relative path written on Windows uses "\"
// as separator: it is read as "/" unless a file of exactly that name exists.
std::string ResolveSourcePath(const std::string& source, const std::string& documentPath);

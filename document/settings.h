#pragma once
// The installation's settings file "Scenemark.ini" beside the executable, and
// the media path translation it holds. Sections: "MediaPathTrans" (read
// here), "HotKeys" (read by the main window's hot-key code), "InputDevices"
// (document/input_devices.h).
//
// Threads: the UI thread; reading the settings also sets the process-wide
// backend order of the media registry.

#include "platform/ini_file.h"

#include <functional>
#include <string>
#include <vector>

inline constexpr char SectionMediaPathTrans[] = "MediaPathTrans";
inline constexpr char SectionHotKeys[] = "HotKeys";
inline constexpr char SectionInputDevices[] = "InputDevices";

// One entry of the media path translation list.
struct TPathTrans {
    std::string Prefix;      // a key of "MediaPathTrans"
    std::string Replacement; // its value
};
using TPathTransList = std::vector<TPathTrans>;

// The folder of the running executable (from /proc/self/exe) + "Scenemark.ini".
// Throws TException when the executable's path cannot be found.
std::string SettingsFileName();
// The same for a given executable path; a bare file name gives a name in the
// current folder.
std::string SettingsFileName(const std::string& executablePath);

// The "MediaPathTrans" entries in file order, an empty replacement for a key
// without a value.
TPathTransList ReadPathTranslations(const TIniFile& settings);

// The path to open for an absolute media path read from a project document:
// the first entry whose Prefix begins the path (letter case ignored, Unicode
// aware) replaces that beginning, once; no match returns the path unchanged.
// When a Windows prefix (one holding a '\' or starting with a drive letter and
// ':') is replaced by a POSIX path (starting with '/'), the '\' separators in
// the rest of the path become '/'. Bytes that are not valid UTF-8 pass through
// unchanged.
std::string TranslateMediaPath(const TPathTransList& translations, const std::string& path);

// Reads the hot-key section; supplied by the main window, which owns the
// commands the keys belong to.
using THotKeyReader = std::function<void(const TIniFile& settings)>;

// Reads everything at start-up, in this order: the path translations (into
// pathTranslations, replacing what was there), the hot keys (readHotKeys, may
// be empty), the backend order (ReadBackendOrder). A missing or unreadable file
// gives no translations, leaves the hot keys to their built-in values and the
// backend order to the identity.
void ReadSettings(const TIniFile& settings, TPathTransList& pathTranslations,
                  const THotKeyReader& readHotKeys);

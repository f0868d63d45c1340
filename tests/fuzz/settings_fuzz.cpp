// Fuzz entry point for the settings file reader: the path translations, the
// hot keys (read with the fallback parse, as the main window reads them) and
// the backend order, then a translation of a few paths.
#include "document/settings.h"

#include "media/registry/registry.h"
#include "model/hot_keys.h"
#include "platform/ini_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <QString>

std::size_t FuzzOne(std::string_view input) {
    const TIniFile settings(ScratchFile(input));
    TPathTransList translations;
    std::size_t keys = 0;
    ResetBackendOrder();
    ReadSettings(settings, translations, [&keys](const TIniFile& file) {
        for (const auto& [name, value] : file.ReadSectionValues("HotKeys")) {
            const THotKey key = TextToKey(QString::fromStdString(value));
            FuzzCheck(key == 0 || !KeyToText(key).isEmpty() || (key & 0xFF) != 0,
                      "a key has a text or a code");
            ++keys;
        }
    });
    for (const char* path : {"D:\\Recordings\\day1\\cam1.avi", "/srv/x.avi", "", "\\\\server\\share\\a"})
        TranslateMediaPath(translations, path);
    for (int32_t id = 0; id < 10; ++id) {
        const int32_t position = GetBackendPosition(id);
        FuzzCheck(position >= -1 && position < 10, "backend positions stay in the order table");
    }
    return translations.size() + keys;
}

std::vector<std::string> FuzzSeeds() {
    return {"[MediaPathTrans]\r\nD:\\Recordings\\=/mnt/rec/\r\n\\\\server\\share\\=/srv/share/\r\n"
            "[HotKeys]\r\nActionPlay=F5\r\nActionOpen=\r\nActionSaveAs=Shift+Ctrl+S\r\nActionX=^+\r\n"
            "[InputDevices]\r\n2=0\r\n3=1\r\n0=-1\r\n",
            "; comment\n[ hotkeys ]\n  ActionStop = Alt+\xC3\xBC \n[MediaPathTrans]\nE:\\\xC3\x9C"
            "ber\\=/u/\n"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}

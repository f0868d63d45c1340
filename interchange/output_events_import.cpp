#include "interchange/text_imports.h"

void ImportOutputEvents(const std::string& fileName, const TImportTarget& target) {
    const std::string text = ReadInputFile(fileName);
    ImportOutputEventsText(text, target);
}

void ImportOutputEventsText(std::string_view text, const TImportTarget& target) {
    const int32_t type = target.Project.EnsureBuiltInType(BuiltInOutput);
    const QString camera = QStringLiteral("Camera");
    RunBatched(target.Host, [&](TCaptureHost& host) {
        TCScanner in(text);
        // "%d %d\n": blanks in the pattern take any run of white space.
        for (;;) {
            const std::optional<int32_t> time = in.ReadInt();
            if (!time)
                break;
            const std::optional<int32_t> value = in.ReadInt();
            if (!value)
                break;
            in.SkipSpace();
            RecordEvent(target.Project, host, *time, type, {{camera, QString::number(*value)}}, QString());
        }
    });
}

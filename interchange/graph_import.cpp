#include "interchange/text_imports.h"

#include <cmath>

void ImportGraph(const std::string& fileName, int32_t offset, int32_t color, const TImportTarget& target) {
    const std::string text = ReadInputFile(fileName);
    ImportGraphText(text, offset, color, target);
}

void ImportGraphText(std::string_view text, int32_t offset, int32_t color, const TImportTarget& target) {
    const int32_t type = target.Project.EnsureBuiltInType(BuiltInGraph);
    const QString colorName = QStringLiteral("Color");
    const QString valueName = QStringLiteral("Value");
    const QString colorText = QString::number(color);
    RunBatched(target.Host, [&](TCaptureHost& host) {
        TCScanner in(text);
        // "%d %f\n"
        for (;;) {
            const std::optional<int32_t> time = in.ReadInt();
            if (!time)
                break;
            const std::optional<float> value = in.ReadFloat();
            if (!value)
                break;
            in.SkipSpace();
            const int64_t shifted = static_cast<int64_t>(*time) + offset;
            // An infinite value has no parameter text the graph could read.
            if (shifted < INT32_MIN || shifted > INT32_MAX || !std::isfinite(*value))
                continue;
            RecordEvent(target.Project, host, static_cast<int32_t>(shifted), type,
                        {{colorName, colorText}, {valueName, FloatParameterText(*value)}}, QString());
        }
    });
}

#include "document/ui/about_text.h"

#include <QStringList>
#include <QtGlobal>

QString AboutFirstLine(std::string_view compilerDate) {
    const QStringList parts =
        QString::fromLatin1(compilerDate.data(), static_cast<qsizetype>(compilerDate.size()))
            .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return QStringLiteral("Scenemark (Compiled: %1)").arg(parts.join(QLatin1Char(' ')));
}

QString AboutText(std::string_view compilerDate) {
    return QStringList{
        AboutFirstLine(compilerDate),
        QString(),
        QStringLiteral("Annotation of multi-camera recordings."),
        QStringLiteral("Built with Qt %1.").arg(QString::fromLatin1(QT_VERSION_STR)),
    }
        .join(QLatin1Char('\n'));
}

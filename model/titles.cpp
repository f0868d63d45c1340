#include "model/titles.h"

QStringList TitleToRow(const TTitle& title) {
    return {QString::number(title.Time), title.Text};
}

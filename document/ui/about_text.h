#pragma once
// The text of the About box.

#include <QString>

#include <string_view>

// "Scenemark (Compiled: Jan 16 2008)" from the compiler's __DATE__ text
// ("Mmm dd yyyy", the day padded with a blank): the day is written without
// the padding, "Jan 6 2008" rather than "Jan  6 2008".
QString AboutFirstLine(std::string_view compilerDate);

// The first line, then the credit lines, joined by line breaks.
QString AboutText(std::string_view compilerDate);

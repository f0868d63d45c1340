#include "model/hot_keys.h"

#include "platform/keyboard_layout.h"

#include <QStringView>

#include <array>

namespace {

constexpr int FirstNamedKey = 8;
constexpr int KeyCount = 256;

QString FixedKeyName(int key) {
    switch (key) {
    case 8:
        return QStringLiteral("BkSp");
    case 9:
        return QStringLiteral("Tab");
    case 13:
        return QStringLiteral("Enter");
    case 27:
        return QStringLiteral("Esc");
    case 32:
        return QStringLiteral("Space");
    case 33:
        return QStringLiteral("PgUp");
    case 34:
        return QStringLiteral("PgDn");
    case 35:
        return QStringLiteral("End");
    case 36:
        return QStringLiteral("Home");
    case 37:
        return QStringLiteral("Left");
    case 38:
        return QStringLiteral("Up");
    case 39:
        return QStringLiteral("Right");
    case 40:
        return QStringLiteral("Down");
    case 45:
        return QStringLiteral("Ins");
    case 46:
        return QStringLiteral("Del");
    default:
        break;
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return QString(QChar(key));
    if (key >= 0x60 && key <= 0x69)
        return QString(QChar('0' + key - 0x60));
    if (key >= 0x70 && key <= 0x87)
        return u'F' + QString::number(key - 0x70 + 1);
    return {};
}

// Names are looked up for every key on each parse; the layout does not change
// while the program runs, so they are collected once.
const std::array<QString, KeyCount>& KeyNames() {
    static const std::array<QString, KeyCount> names = [] {
        std::array<QString, KeyCount> result;
        for (int key = FirstNamedKey; key < KeyCount; ++key) {
            result[key] = FixedKeyName(key);
            if (result[key].isEmpty())
                result[key] = QString::fromStdString(VirtualKeyName(key));
        }
        return result;
    }();
    return names;
}

// Strips the modifier prefixes from the front of `rest`, returning their bits.
THotKey StripModifiers(QStringView& rest) {
    static constexpr struct {
        QStringView Prefix;
        THotKey Bit;
    } prefixes[] = {
        {u"Shift+", HotKeyShift},
        {u"Ctrl+", HotKeyCtrl},
        {u"^", HotKeyCtrl},
        {u"Alt+", HotKeyAlt},
    };
    THotKey modifiers = 0;
    for (bool isStripped = true; isStripped;) {
        isStripped = false;
        for (const auto& prefix : prefixes) {
            if (rest.startsWith(prefix.Prefix, Qt::CaseInsensitive)) {
                rest = rest.mid(prefix.Prefix.size());
                modifiers |= prefix.Bit;
                isStripped = true;
            }
        }
    }
    return modifiers;
}

int KeyByName(QStringView name) {
    const auto& names = KeyNames();
    for (int key = FirstNamedKey; key < KeyCount; ++key)
        if (!names[key].isEmpty() && name.compare(names[key], Qt::CaseInsensitive) == 0)
            return key;
    return 0;
}

char32_t LastCodePoint(const QString& text) {
    const auto size = text.size();
    const QChar last = text[size - 1];
    if (last.isLowSurrogate() && size >= 2 && text[size - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[size - 2], last);
    return last.unicode();
}

} // namespace

QString KeyToText(THotKey key) {
    const QString& name = KeyNames()[key & 0xFF];
    if (name.isEmpty())
        return {};
    QString text;
    if (key & HotKeyShift)
        text += QStringLiteral("Shift+");
    if (key & HotKeyCtrl)
        text += QStringLiteral("Ctrl+");
    if (key & HotKeyAlt)
        text += QStringLiteral("Alt+");
    return text + name;
}

THotKey StandardTextToKey(const QString& text) {
    QStringView rest(text);
    const THotKey modifiers = StripModifiers(rest);
    if (rest.isEmpty())
        return 0;
    const int key = KeyByName(rest);
    return key ? static_cast<THotKey>(modifiers | key) : 0;
}

THotKey TextToKey(const QString& text) {
    QStringView rest(text);
    THotKey modifiers = StripModifiers(rest);
    // With nothing after the prefixes the last character belongs to a
    // prefix: "Ctrl+" alone must not become Ctrl with the "+" key.
    if (rest.isEmpty())
        return 0;
    if (const int key = KeyByName(rest))
        return static_cast<THotKey>(modifiers | key);

    const int key = VirtualKeyForChar(LastCodePoint(text));
    if (key <= 0 || key >= KeyCount)
        return 0;
    if (text.contains(QStringLiteral("Ctrl+")))
        modifiers |= HotKeyCtrl;
    if (text.contains(QStringLiteral("Alt+")))
        modifiers |= HotKeyAlt;
    if (text.contains(QStringLiteral("Shift+")))
        modifiers |= HotKeyShift;
    return static_cast<THotKey>(modifiers | key);
}

#include "X11KeyCodes.h"

#include "Platform.h"

#include <iterator>

namespace vorlex {

namespace x11 {

namespace {

constexpr KeyCode keyCodes[] = {
    {u'a', 38},  {u's', 39}, {u'd', 40}, {u'f', 41}, {u'h', 43}, {u'g', 42},  {u'z', 52}, {u'x', 53},
    {u'c', 54},  {u'v', 55}, {u'b', 56}, {u'q', 24}, {u'w', 25}, {u'e', 26},  {u'r', 27}, {u'y', 29},
    {u't', 28},  {u'1', 10}, {u'2', 11}, {u'3', 12}, {u'4', 13}, {u'6', 15},  {u'5', 14}, {u'=', 21},
    {u'9', 18},  {u'7', 16}, {u'-', 20}, {u'8', 17}, {u'0', 19}, {u']', 35},  {u'o', 32}, {u'u', 30},
    {u'[', 34},  {u'i', 31}, {u'p', 33}, {u'l', 46}, {u'j', 44}, {u'\'', 48}, {u'k', 45}, {u';', 47},
    {u'\\', 51}, {u',', 59}, {u'/', 61}, {u'n', 57}, {u'm', 58}, {u'.', 60},
};
static_assert(std::size(keyCodes) == 46);

} // namespace

std::span<const KeyCode> hotkeyKeyCodes()
{
    return keyCodes;
}

std::optional<quint32> keycodeOfHotkeyKey(const QString& name)
{
    if (name.size() != 1)
        return std::nullopt;
    for (const KeyCode& entry : keyCodes) {
        if (entry.name == name.at(0).unicode())
            return entry.keycode;
    }
    return std::nullopt;
}

} // namespace x11

bool isHotkeyKey(const QString& name)
{
    return x11::keycodeOfHotkeyKey(name).has_value();
}

std::optional<QString> hotkeyKeyOfScanCode(quint32 nativeScanCode)
{
    for (const x11::KeyCode& entry : x11::keyCodes) {
        if (entry.keycode == nativeScanCode)
            return QString(QChar(entry.name));
    }
    return std::nullopt;
}

} // namespace vorlex

#pragma once

// The hotkeys observed as keys: every key press of the X server is compared with the physical keys
// and exact modifiers of the bound hotkeys. Nothing is grabbed, so every key, the hotkeys included,
// still reaches its application.

#include "Platform.h"
#include "X11InputObserver.h"

#include <utility>
#include <vector>

namespace vorlex::x11 {

// The bound hotkeys as physical keys, in the order bound; a key outside the 46 is left out.
class X11HotkeyTable {
public:
    X11HotkeyTable() = default;
    explicit X11HotkeyTable(const QList<Hotkey>& hotkeys);
    // The action of the first hotkey the press fires, or null: a few comparisons, nothing allocated.
    const QString* match(const KeyPress& press) const;

private:
    std::vector<std::pair<KeyPress, QString>> entries;
};

class X11Hotkeys final : public Hotkeys {
public:
    explicit X11Hotkeys(X11InputObserver& keys) : observer(keys) {}
    void bind(const QList<Hotkey>& hotkeys, Handler handler) override;

private:
    X11InputObserver& observer;
    bool watching = false;
    X11HotkeyTable table;
    Handler triggered;
};

} // namespace vorlex::x11

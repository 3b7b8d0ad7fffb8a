#pragma once

// The tray menu right to left. Fusion lays out a right-to-left menu item by the option's direction
// but draws its texts by the painter's, which follows the application: in a left-to-right
// application the shortcut column is drawn over the menu's left edge and cut off. This style draws
// each item in the item's own direction and keeps a shortcut ("Ctrl+Q") left to right inside it.

#include <QProxyStyle>

class QMenu;

namespace vorlex {

class TrayMenuStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    // Lays menu out right to left with this style over the application's, owned by menu.
    static void applyTo(QMenu* menu);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

} // namespace vorlex

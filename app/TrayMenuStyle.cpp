#include "TrayMenuStyle.h"

#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace vorlex {

void TrayMenuStyle::applyTo(QMenu* menu)
{
    menu->setLayoutDirection(Qt::RightToLeft);
    auto* style = new TrayMenuStyle;
    style->setParent(menu); // a widget does not own the style it is given
    menu->setStyle(style);
}

void TrayMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionMenuItem shown(*item);
    // QMenu appends the shortcut after a tab; isolated, "Ctrl+," does not turn into ",Ctrl+".
    const qsizetype tab = shown.text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        shown.text = shown.text.left(tab + 1) + QChar(0x2066) + shown.text.mid(tab + 1) + QChar(0x2069);
    painter->save();
    painter->setLayoutDirection(shown.direction);
    QProxyStyle::drawControl(element, &shown, painter, widget);
    painter->restore();
}

} // namespace vorlex

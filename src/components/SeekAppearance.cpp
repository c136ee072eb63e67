#include "SeekAppearance.h"
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

namespace components {

namespace {

// Ming (serif) faces for Traditional Chinese first; where none is installed Qt falls
// back to the system's CJK font.
const QStringList kMingFamilies = {
    QStringLiteral("AR PL UMing TW"), QStringLiteral("AR PL UMing HK"),
    QStringLiteral("AR PL Mingti2L Big5"), QStringLiteral("Noto Serif CJK TC"),
    QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Zen Hei"),
};

const QColor kMaroon(0x80, 0x00, 0x00);

template <typename Draw> QPixmap picture(int width, int height, Draw draw)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

} // namespace

QFont seekDialogFont()
{
    QFont font;
    font.setFamilies(kMingFamilies);
    font.setPixelSize(20);
    return font;
}

QPalette seekDialogPalette(const QPalette &base)
{
    QPalette palette = base;
    palette.setColor(QPalette::Window, kMaroon);
    palette.setColor(QPalette::WindowText, Qt::yellow);
    palette.setColor(QPalette::ButtonText, Qt::yellow);
    return palette;
}

QPalette seekEditPalette(const QPalette &base)
{
    QPalette palette = base;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    return palette;
}

QPixmap seekTickPicture()
{
    return picture(18, 16, [](QPainter &p) {
        p.setPen(QPen(QColor(0x00, 0xa0, 0x00), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(2, 8.5), QPointF(7, 13), QPointF(16, 3)}));
    });
}

QPixmap seekCrossPicture()
{
    return picture(14, 16, [](QPainter &p) {
        p.setPen(QPen(QColor(0xd0, 0x00, 0x00), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(2.5, 3.5), QPointF(11.5, 12.5));
        p.drawLine(QPointF(11.5, 3.5), QPointF(2.5, 12.5));
    });
}

QPixmap seekQuestionPicture()
{
    return picture(16, 16, [](QPainter &p) {
        const QColor blue(0x00, 0x30, 0xc0);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        QPainterPath bar;
        bar.moveTo(6, 2);
        bar.lineTo(10, 2);
        bar.lineTo(9, 10);
        bar.lineTo(7, 10);
        bar.closeSubpath();
        p.drawPath(bar);
        p.drawEllipse(QPointF(8, 13), 1.6, 1.6);
    });
}

} // namespace components

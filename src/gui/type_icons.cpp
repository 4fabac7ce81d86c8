#include "gui/type_icons.h"

#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>

namespace ui {
namespace {

QIcon drawnAudioIcon(const QString& label, const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(colour.darker(140));
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(15);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 32, 20), Qt::AlignCenter, QStringLiteral("♪"));
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, 17, 32, 13), Qt::AlignCenter, label);
    return QIcon(pixmap);
}

} // namespace

QList<QIcon> typeIcons()
{
    struct Type {
        const char* extension;
        const char* label;
        QColor colour;
    };
    const Type types[] = {{"mp3", "MP3", QColor(0x2f, 0x7d, 0xd1)},
                          {"RM", "RM", QColor(0x2e, 0x9e, 0x5b)},
                          {"WMA", "WMA", QColor(0xd9, 0x7a, 0x1e)},
                          {"ASF", "ASF", QColor(0x8a, 0x4f, 0xc4)},
                          {"RAM", "RAM", QColor(0x1f, 0x9e, 0x9e)}};
    QMimeDatabase mimes;
    QList<QIcon> icons;
    for (const Type& type : types) {
        const QMimeType mime =
            mimes.mimeTypeForFile(QString("1.") + type.extension, QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(mime.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(mime.genericIconName());
        if (icon.isNull())
            icon = drawnAudioIcon(type.label, type.colour);
        icons.append(icon);
    }
    return icons;
}

} // namespace ui

#include "gui/card_editor_widgets.h"

#include "core/gbk_qt.h"

#include <QAbstractTextDocumentLayout>
#include <QCollator>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace ui {

QStringList sortedFontFamilies(QStringList families, const QLocale& locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(families.begin(), families.end(), [&](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
    return families;
}

QStringList installedFontFamilies()
{
    return sortedFontFamilies(QFontDatabase::families(), QLocale());
}

const std::array<PaletteSource, 27>& paletteSources()
{
    using P = QPalette;
    static const std::array<PaletteSource, 27> sources{{
        {0, P::Active, P::Midlight},           // scroll bar track
        {1, P::Active, P::Dark},               // desktop background
        {2, P::Active, P::Highlight},          // active title bar
        {3, P::Disabled, P::Highlight},        // inactive title bar
        {4, P::Active, P::Window},             // menu background
        {5, P::Active, P::Base},               // window (edit and list) background
        {6, P::Active, P::Shadow},             // window frame
        {7, P::Active, P::WindowText},         // menu text
        {8, P::Active, P::Text},               // text in windows
        {9, P::Active, P::HighlightedText},    // active title text
        {10, P::Active, P::Button},            // active border
        {11, P::Inactive, P::Button},          // inactive border
        {12, P::Active, P::Mid},               // application work space
        {13, P::Active, P::Highlight},         // selection
        {14, P::Active, P::HighlightedText},   // selected text
        {15, P::Active, P::Button},            // button face
        {16, P::Active, P::Dark},              // button shadow
        {17, P::Disabled, P::Text},            // grey (disabled) text
        {18, P::Active, P::ButtonText},        // button text
        {19, P::Disabled, P::HighlightedText}, // inactive title text
        {20, P::Active, P::Light},             // button highlight
        {21, P::Active, P::Shadow},            // dark 3-D shadow
        {22, P::Active, P::Midlight},          // light 3-D edge
        {23, P::Active, P::ToolTipText},       // tool tip text
        {24, P::Active, P::ToolTipBase},       // tool tip background
        {27, P::Active, P::Highlight},         // gradient end of the active title bar
        {28, P::Disabled, P::Highlight},       // gradient end of the inactive title bar
    }};
    return sources;
}

card::SystemColours systemColours(const QPalette& palette)
{
    card::SystemColours colours{};
    for (const PaletteSource& s : paletteSources())
        colours[static_cast<size_t>(s.systemIndex)] =
            palette.color(s.group, s.role).rgb() & 0xFFFFFFu;
    return colours;
}

QIcon colourSwatch(size_t entry, const card::SystemColours& system, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(QColor::fromRgb(card::entryRgb(entry, system)));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    if (entry < card::kColourCount &&
        card::colourEntries()[entry].kind == card::ColourKind::Special) {
        // Not a colour: a white box crossed out (none) or hatched (default).
        painter.fillRect(1, 1, size.width() - 2, size.height() - 2, Qt::white);
        if (card::colourEntries()[entry].name == "clNone") {
            painter.setPen(QPen(Qt::red, 1));
            painter.drawLine(1, size.height() - 2, size.width() - 2, 1);
        } else {
            painter.fillRect(1, 1, size.width() - 2, size.height() - 2,
                             QBrush(Qt::gray, Qt::BDiagPattern));
        }
    }
    return QIcon(pixmap);
}

std::vector<std::string> displayedLines(const QPlainTextEdit* box)
{
    std::vector<std::string> lines;
    QTextDocument* doc = box->document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        layout->blockBoundingRect(block); // lays the block out at the box's width
        const QString text = block.text();
        const QTextLayout* textLayout = block.layout();
        if (!textLayout || textLayout->lineCount() == 0) {
            lines.push_back(core::toGbk(text));
            continue;
        }
        for (int i = 0; i < textLayout->lineCount(); ++i) {
            const QTextLine line = textLayout->lineAt(i);
            lines.push_back(core::toGbk(text.mid(line.textStart(), line.textLength())));
        }
    }
    return lines;
}

} // namespace ui

#pragma once
// Where the card editor meets Qt: the installed font families in list order, the platform's
// palette as the system display colours of the colour list, colour swatches, and the card text
// as the text box shows it. The rules behind them are plain C++ in card/.
#include "card/colours.h"

#include <QIcon>
#include <QLocale>
#include <QPalette>
#include <QStringList>

#include <array>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace ui {

// Font family names sorted without regard to case in the order of the given locale.
QStringList sortedFontFamilies(QStringList families, const QLocale& locale);
// Every installed font family, sorted as above for the user's locale.
QStringList installedFontFamilies();

// Which palette colour stands for a system display colour on this platform.
struct PaletteSource {
    int systemIndex; // the system colour index the colour list uses
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};
const std::array<PaletteSource, 27>& paletteSources();
card::SystemColours systemColours(const QPalette& palette);

// A swatch of the colour list's entry (no name); clNone and clDefault are marked as such.
QIcon colourSwatch(size_t entry, const card::SystemColours& system, QSize size);

// The text box's text as it shows it, one GBK entry per displayed line: a line that the box
// wraps gives one entry for each displayed part; an empty paragraph gives an empty entry.
std::vector<std::string> displayedLines(const QPlainTextEdit* box);

} // namespace ui

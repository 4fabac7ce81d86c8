// The card panel: the card list, the title and text with their formatting buttons, the card
// page and its preview.
#include "app/form1.h"

#include "browser/webengine_browser.h"
#include "card/card_page.h"
#include "card/card_save.h"
#include "card/colours.h"
#include "card/wrap_rules.h"
#include "core/line_file.h"
#include "gui/card_editor_widgets.h"
#include "gui/dialogs.h"
#include "gui/gbk_qt.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/tool_button.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QToolButton>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include <filesystem>
#include <system_error>

namespace {

const char* const kPictureFilter =
    "jpg图片(*.jpg);jpeg图片(*.jpeg);gif图片(*.gif)|*.jpg;*.jpeg;*.gif|jpeg图片(*.jpeg)|*.jpeg|"
    "gif图片(*.gif)|*.gif";

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The text box as the tag rules see it: GBK text, selection as byte positions.
card::TextBoxState textBoxState(const QPlainTextEdit* box)
{
    const QString plain = box->toPlainText();
    const QTextCursor cursor = box->textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    card::TextBoxState state;
    state.text = ui::toGbk(plain);
    state.selStart = ui::toGbk(plain.left(start)).size();
    state.selLength = ui::toGbk(plain.mid(start, end - start)).size();
    state.focused = box->hasFocus();
    return state;
}

card::TitleBoxState titleBoxState(const QLineEdit* box)
{
    card::TitleBoxState state;
    const QString text = box->text();
    state.text.assign(reinterpret_cast<const char16_t*>(text.utf16()),
                      static_cast<size_t>(text.size()));
    if (box->hasSelectedText()) {
        state.selStart = static_cast<size_t>(box->selectionStart());
        state.selLength = static_cast<size_t>(box->selectionLength());
    }
    state.focused = box->hasFocus();
    return state;
}

} // namespace

void TForm1::buildCardPanel()
{
    setpanel = new QGroupBox("音乐贺卡", centralWidget());
    setpanel->setObjectName("setpanel");
    setpanel->setToolTip("在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 ");
    setpanel->setGeometry(121, 73, 575, 509);
    setpanel->hide();

    cardlistview = new ui::SongListView(setpanel);
    cardlistview->setObjectName("cardlistview");
    cardlistview->setColumnCaptions({"", "歌手名", "下载地址", "大小", "类型"});
    cardlistview->setGridLines(true);
    cardlistview->setGeometry(8, 22, 559, 70);

    previewLabel = new QLabel("预览", setpanel);
    previewLabel->setGeometry(10, 98, 80, 22);
    cancelbtn = new QPushButton("清空列表", setpanel);
    cancelbtn->setObjectName("cancelbtn");
    cancelbtn->setGeometry(487, 96, 80, 26);

    auto* browser4 =
        new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Shown, setpanel, this);
    // The card page is GBK text without a charset declaration.
    browser4->page()->settings()->setDefaultTextEncoding("GBK");
    // The card's fallback audio element must not start before the program's player replaces
    // the object it sits in; that player's sound does not come from the page.
    browser4->page()->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture,
                                               true);
    WebBrowser4 = browser4;
    WebBrowser4->view()->setGeometry(8, 126, 559, 190);
    WebBrowser4->setBrowserVisible(true);

    SeSkinPanel2 = new QGroupBox("贺卡内容", setpanel);
    SeSkinPanel2->setObjectName("SeSkinPanel2");
    SeSkinPanel2->setGeometry(8, 320, 559, 183);

    SeSkinToolBar2 = new QWidget(SeSkinPanel2);
    SeSkinToolBar2->setObjectName("SeSkinToolBar2");
    SeSkinToolBar2->setGeometry(6, 20, 547, 29);
    QToolButton** wrapButtons[] = {&htmlrunbtn, &h1btn,     &h2btn, &h3btn, &h4btn,
                                   &bigbtn,     &strongbtn, &ibtn,  &ubtn,  &centrebtn};
    int left = 2;
    for (size_t i = 0; i < card::wrapButtons().size(); ++i, left += 25) {
        const card::WrapButtonInfo& info = card::wrapButtons()[i];
        *wrapButtons[i] = ui::toolButton(SeSkinToolBar2, fromUtf8(info.name),
                                         fromUtf8(info.caption), fromUtf8(info.hint), left, 2);
    }
    picbtn = ui::toolButton(SeSkinToolBar2, "picbtn", "图", "背景图片", left, 2);
    backbtn = ui::toolButton(SeSkinToolBar2, "backbtn", "返", "回溯", left + 25, 2);

    const card::SystemColours system = ui::systemColours(QApplication::palette());
    colorcombox = new QComboBox(SeSkinToolBar2);
    colorcombox->setObjectName("colorcombox");
    colorcombox->setToolTip("字体颜色");
    colorcombox->setIconSize(QSize(40, 14));
    for (size_t i = 0; i < card::kColourCount; ++i)
        colorcombox->addItem(ui::colourSwatch(i, system, QSize(40, 14)), QString());
    colorcombox->setCurrentIndex(static_cast<int>(card::kBlackEntry));
    colorcombox->setGeometry(left + 56, 2, 72, 25);
    colorcombox->setFocusPolicy(Qt::NoFocus);

    fontsizecombox = new QComboBox(SeSkinToolBar2);
    fontsizecombox->setObjectName("fontsizecombox");
    fontsizecombox->setToolTip("字体类型");
    fontsizecombox->addItems(ui::installedFontFamilies());
    fontsizecombox->setCurrentIndex(0);
    fontsizecombox->setGeometry(left + 134, 2, 547 - (left + 134) - 2, 25);
    fontsizecombox->setFocusPolicy(Qt::NoFocus);

    nameedit = new QLineEdit("标题", SeSkinPanel2);
    nameedit->setObjectName("nameedit");
    nameedit->setGeometry(6, 53, 440, 24);

    iememo = new QPlainTextEdit(SeSkinPanel2);
    iememo->setObjectName("iememo");
    iememo->setPlainText("内容");
    iememo->setGeometry(6, 81, 440, 96);
    iememo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    iememo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    iememo->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    previewbtn = new QPushButton("预览", SeSkinPanel2);
    previewbtn->setObjectName("previewbtn");
    previewbtn->setGeometry(454, 53, 99, 28);
    iesetbtn = new QPushButton("保存位置", SeSkinPanel2);
    iesetbtn->setObjectName("iesetbtn");
    iesetbtn->setGeometry(454, 87, 99, 28);
    cardsurebtn = new QPushButton("生成贺卡", SeSkinPanel2);
    cardsurebtn->setObjectName("cardsurebtn");
    cardsurebtn->setGeometry(454, 121, 99, 28);
    cardsurebtn->hide();

    OpenDialog1.filter = QString::fromUtf8(kPictureFilter);
    OpenDialog1.filterIndex = 1;
}

void TForm1::connectCardHandlers()
{
    if (dragcardbtn)
        connect(dragcardbtn, &QToolButton::clicked, this, &TForm1::dragcardbtnClick);
    connect(cancelbtn, &QPushButton::clicked, this, &TForm1::cancelbtnClick);
    connect(htmlrunbtn, &QToolButton::clicked, this, &TForm1::htmlrunbtnClick);
    connect(h1btn, &QToolButton::clicked, this, &TForm1::h1btnClick);
    connect(h2btn, &QToolButton::clicked, this, &TForm1::h2btnClick);
    connect(h3btn, &QToolButton::clicked, this, &TForm1::h3btnClick);
    connect(h4btn, &QToolButton::clicked, this, &TForm1::h4btnClick);
    connect(bigbtn, &QToolButton::clicked, this, &TForm1::bigbtnClick);
    connect(strongbtn, &QToolButton::clicked, this, &TForm1::strongbtnClick);
    connect(ibtn, &QToolButton::clicked, this, &TForm1::ibtnClick);
    connect(ubtn, &QToolButton::clicked, this, &TForm1::ubtnClick);
    connect(centrebtn, &QToolButton::clicked, this, &TForm1::centrebtnClick);
    connect(picbtn, &QToolButton::clicked, this, &TForm1::picbtnClick);
    connect(backbtn, &QToolButton::clicked, this, &TForm1::backbtnClick);
    // A choice in a list, also of the entry already current, applies the font tag.
    connect(colorcombox, &QComboBox::activated, this, &TForm1::colorcomboxChange);
    connect(fontsizecombox, &QComboBox::activated, this, &TForm1::fontsizecomboxChange);
    connect(previewbtn, &QPushButton::clicked, this, &TForm1::previewbtnClick);
    connect(iesetbtn, &QPushButton::clicked, this, &TForm1::iesetbtnClick);
    connect(cardsurebtn, &QPushButton::clicked, this, &TForm1::cardsurebtnClick);
}

void TForm1::dragcardbtnClick()
{
    const int first = searchPanel_->ListView1->firstSelectedRow();
    if (first >= 0) {
        cardlistview->clearRows();
        cardlistview->appendRow(searchPanel_->ListView1->rowAt(first));
    }
    Button5Click();
}

void TForm1::cancelbtnClick()
{
    cardlistview->clearRows();
}

namespace {

void applyCardEdit(TForm1& form, const card::EditResult& result)
{
    QPlainTextEdit* iememo = form.iememo;
    QLineEdit* nameedit = form.nameedit;
    switch (result.action) {
    case card::EditAction::None:
        break;
    case card::EditAction::ShowMessage:
        ui::showMessage(&form, fromUtf8(card::kSelectFirstMessage));
        break;
    case card::EditAction::ReplaceSelection: {
        // The wrap is not an undoable edit of the text box; since the box's undo history
        // cannot skip it, that history ends here.
        QTextCursor cursor = iememo->textCursor();
        iememo->setUndoRedoEnabled(false);
        cursor.insertText(ui::fromGbk(result.replacement));
        iememo->setUndoRedoEnabled(true);
        iememo->setTextCursor(cursor);
        break;
    }
    case card::EditAction::ReplaceTitle:
        // One edit step of the title's own history, so that 返 can take it back.
        nameedit->selectAll();
        nameedit->insert(QString::fromStdU16String(result.title));
        break;
    }
}

void wrapCardSelection(TForm1& form, std::string_view buttonName)
{
    const card::WrapButtonInfo& button = card::wrapButton(buttonName);
    applyCardEdit(form, card::wrapSelection(textBoxState(form.iememo), titleBoxState(form.nameedit),
                                            button.tags, button.focus));
}

} // namespace

void TForm1::htmlrunbtnClick()
{
    wrapCardSelection(*this, "htmlrunbtn");
}

void TForm1::h1btnClick()
{
    wrapCardSelection(*this, "h1btn");
}

void TForm1::h2btnClick()
{
    wrapCardSelection(*this, "h2btn");
}

void TForm1::h3btnClick()
{
    wrapCardSelection(*this, "h3btn");
}

void TForm1::h4btnClick()
{
    wrapCardSelection(*this, "h4btn");
}

void TForm1::bigbtnClick()
{
    wrapCardSelection(*this, "bigbtn");
}

void TForm1::strongbtnClick()
{
    wrapCardSelection(*this, "strongbtn");
}

void TForm1::ibtnClick()
{
    wrapCardSelection(*this, "ibtn");
}

void TForm1::ubtnClick()
{
    wrapCardSelection(*this, "ubtn");
}

void TForm1::centrebtnClick()
{
    wrapCardSelection(*this, "centrebtn");
}

namespace {

void applyCardFontTag(TForm1& form)
{
    QComboBox* colorcombox = form.colorcombox;
    QComboBox* fontsizecombox = form.fontsizecombox;
    const card::SystemColours system = ui::systemColours(QApplication::palette());
    const int entry = colorcombox->currentIndex();
    const std::string digits =
        card::colourDigits(entry < 0 ? card::kBlackEntry : static_cast<size_t>(entry), system);
    applyCardEdit(form, card::applyFontTag(textBoxState(form.iememo), titleBoxState(form.nameedit),
                                           digits, ui::toGbk(fontsizecombox->currentText())));
}

} // namespace

void TForm1::colorcomboxChange()
{
    applyCardFontTag(*this);
}

void TForm1::fontsizecomboxChange()
{
    applyCardFontTag(*this);
}

void TForm1::backbtnClick()
{
    if (iememo->hasFocus())
        iememo->undo();
    else
        nameedit->undo();
}

void TForm1::cardsurebtnClick()
{
    if (cardlistview->rowCount() == 0)
        return;
    const core::SongEntry row = cardlistview->rowAt(0);
    card::CardPageInput input;
    input.picture = CardPicture;
    const QString title = nameedit->text();
    input.title.assign(reinterpret_cast<const char16_t*>(title.utf16()),
                       static_cast<size_t>(title.size()));
    input.address = row.sub(core::SubItem::Address);
    input.typeText = row.sub(core::SubItem::TypeText);
    input.textLines = ui::displayedLines(iememo);
    input.playerDownloadHost = hosts.playerDownload;

    const std::filesystem::path page = core::gbkPath(ProgramFolder + "card.html");
    std::error_code ignored;
    std::filesystem::remove(page, ignored);
    core::writeLines(page, card::cardPageLines(input));
}

void TForm1::previewbtnClick()
{
    cardsurebtnClick();
    WebBrowser4->Navigate(ui::fromGbk("file:///" + ProgramFolder + "card.html"));
}

void TForm1::picbtnClick()
{
    OpenDialog1.Execute(this, false); // a cancel keeps the name of an earlier choice
    if (OpenDialog1.fileName.isEmpty())
        return;
    CardPicture = ui::toGbk(OpenDialog1.fileName);
    cardsurebtnClick();
}

namespace {

const char* const kCardSaveFilter = "网页，全部(*.htm;*.html)|*.htm;*.html|"
                                    "网页，仅 HTML(*.htm;*.html)|*.htm;*.html|"
                                    "Web 档案，单一文件(*.mht)|*.mht";

enum CardSaveChoice { CompleteCard = 1, PageOnly = 2, WebArchive = 3 };

std::filesystem::path localPath(const QString& name)
{
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

} // namespace

void TForm1::iesetbtnClick()
{
    if (!WebBrowser4->document())
        return; // nothing shown yet
    const QString shown = browser::WebEngineBrowser::toUrl(WebBrowser4->address()).toLocalFile();
    ui::FileDialog dialog;
    dialog.title = QStringLiteral("保存网页");
    dialog.filter = QString::fromUtf8(kCardSaveFilter);
    dialog.filterIndex = CompleteCard;
    dialog.fileName = QFileInfo(shown).fileName();
    if (!dialog.Execute(WebBrowser4->view(), true))
        return;

    const QString target = dialog.fileName;
    switch (dialog.filterIndex) {
    case WebArchive: {
        // Taken from the rendered page; it is written in the background, so a place that
        // cannot be written is reported now.
        auto* browser = qobject_cast<browser::WebEngineBrowser*>(WebBrowser4);
        QFile probe(target);
        if (!browser || !probe.open(QIODevice::WriteOnly))
            throw core::FileError("Cannot create file " + target.toStdString());
        probe.close();
        browser->page()->save(target, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
        break;
    }
    case PageOnly: {
        const card::SaveResult result = card::savePageOnly(localPath(shown), localPath(target));
        if (result.problem == card::SaveProblem::PageUnreadable)
            throw core::FileError("Cannot open file " + result.where.string());
        if (result.problem != card::SaveProblem::None)
            throw core::FileError("Cannot create file " + result.where.string());
        break;
    }
    default: {
        const card::SaveResult result = card::saveCompleteCard(localPath(shown), localPath(target));
        if (result.problem != card::SaveProblem::None)
            ui::showMessage(this, fromUtf8(card::saveProblemMessage(result)));
        break;
    }
    }
}

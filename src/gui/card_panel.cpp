#include "gui/card_panel.h"

#include "browser/webengine_browser.h"
#include "card/card_page.h"
#include "card/card_save.h"
#include "card/colours.h"
#include "card/wrap_rules.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "gui/anchor_layout.h"
#include "gui/card_editor_widgets.h"
#include "gui/song_list_view.h"
#include "gui/tool_button.h"
#include "search/service_hosts.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
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
#include <utility>

namespace gui {

namespace {

const char* const kPictureFilter =
    "jpg图片(*.jpg);jpeg图片(*.jpeg);gif图片(*.gif)|*.jpg;*.jpeg;*.gif|jpeg图片(*.jpeg)|*.jpeg|"
    "gif图片(*.gif)|*.gif";

const char* const kCardSaveFilter = "网页，全部(*.htm;*.html)|*.htm;*.html|"
                                    "网页，仅 HTML(*.htm;*.html)|*.htm;*.html|"
                                    "Web 档案，单一文件(*.mht)|*.mht";

enum CardSaveChoice { CompleteCard = 1, PageOnly = 2, WebArchive = 3 };

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path localPath(const QString& name)
{
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

// The text box as the tag rules see it: GBK text, selection as byte positions.
card::TextBoxState textBoxState(const QPlainTextEdit* box)
{
    const QString plain = box->toPlainText();
    const QTextCursor cursor = box->textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    card::TextBoxState state;
    state.text = core::toGbk(plain);
    state.selStart = core::toGbk(plain.left(start)).size();
    state.selLength = core::toGbk(plain.mid(start, end - start)).size();
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

CardPanel::CardPanel(std::string programFolder, const search::ServiceHosts& hosts, QWidget* parent)
    : QGroupBox(QStringLiteral("音乐贺卡"), parent), programFolder_(std::move(programFolder)),
      playerDownloadHost_(hosts.playerDownload)
{
    setObjectName("setpanel");
    resize(575, 509); // the design size its controls are placed in
    setToolTip("在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 ");
    buildControls();
    connectHandlers();
    describeControls();
    // The card starts from the picture shipped beside the program, and the picture dialog opens
    // in its folder (which is not created).
    CardPicture = programFolder_ + "pic/0103.jpg";
    OpenDialog1.filter = QString::fromUtf8(kPictureFilter);
    OpenDialog1.filterIndex = 1;
    OpenDialog1.initialDir = core::fromGbk(programFolder_ + "pic/");
}

void CardPanel::buildControls()
{
    cardlistview = new ui::SongListView(this);
    cardlistview->setObjectName("cardlistview");
    cardlistview->setColumnCaptions({"", "歌手名", "下载地址", "大小", "类型"});
    cardlistview->setGridLines(true);
    cardlistview->setSortable(true);
    cardlistview->setGeometry(8, 22, 559, 70);

    previewLabel = new QLabel("预览", this);
    previewLabel->setGeometry(10, 98, 80, 22);
    cancelbtn = new QPushButton("清空列表", this);
    cancelbtn->setObjectName("cancelbtn");
    cancelbtn->setGeometry(487, 96, 80, 26);

    auto* browser4 =
        new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Shown, this, this);
    // The card page is GBK text without a charset declaration.
    browser4->page()->settings()->setDefaultTextEncoding("GBK");
    // The card's fallback audio element must not start before the program's player replaces
    // the object it sits in; that player's sound does not come from the page.
    browser4->page()->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture,
                                               true);
    WebBrowser4 = browser4;
    WebBrowser4->view()->setGeometry(8, 126, 559, 190);
    WebBrowser4->setBrowserVisible(true);

    SeSkinPanel2 = new QGroupBox("贺卡内容", this);
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

    // A larger window gives the preview more room and the text boxes more width.
    anchorChildren(this, {{cardlistview, {0, 1, 0, 0}},
                          {cancelbtn, {1, 0, 0, 0}},
                          {WebBrowser4->view(), {0, 1, 0, 1}},
                          {SeSkinPanel2, {0, 1, 1, 0}}});
    anchorChildren(
        SeSkinPanel2,
        {{SeSkinToolBar2, {0, 1, 0, 0}}, {nameedit, {0, 1, 0, 0}}, {iememo, {0, 1, 0, 0}}});
    anchorChildren(SeSkinToolBar2, {{fontsizecombox, {0, 1, 0, 0}}});
}

void CardPanel::connectHandlers()
{
    connect(cancelbtn, &QPushButton::clicked, this, &CardPanel::cancelbtnClick);
    connect(htmlrunbtn, &QToolButton::clicked, this, &CardPanel::htmlrunbtnClick);
    connect(h1btn, &QToolButton::clicked, this, &CardPanel::h1btnClick);
    connect(h2btn, &QToolButton::clicked, this, &CardPanel::h2btnClick);
    connect(h3btn, &QToolButton::clicked, this, &CardPanel::h3btnClick);
    connect(h4btn, &QToolButton::clicked, this, &CardPanel::h4btnClick);
    connect(bigbtn, &QToolButton::clicked, this, &CardPanel::bigbtnClick);
    connect(strongbtn, &QToolButton::clicked, this, &CardPanel::strongbtnClick);
    connect(ibtn, &QToolButton::clicked, this, &CardPanel::ibtnClick);
    connect(ubtn, &QToolButton::clicked, this, &CardPanel::ubtnClick);
    connect(centrebtn, &QToolButton::clicked, this, &CardPanel::centrebtnClick);
    connect(picbtn, &QToolButton::clicked, this, &CardPanel::picbtnClick);
    connect(backbtn, &QToolButton::clicked, this, &CardPanel::backbtnClick);
    // A choice in a list, also of the entry already current, applies the font tag.
    connect(colorcombox, &QComboBox::activated, this, &CardPanel::colorcomboxChange);
    connect(fontsizecombox, &QComboBox::activated, this, &CardPanel::fontsizecomboxChange);
    connect(previewbtn, &QPushButton::clicked, this, &CardPanel::previewbtnClick);
    connect(iesetbtn, &QPushButton::clicked, this, &CardPanel::iesetbtnClick);
    connect(cardsurebtn, &QPushButton::clicked, this, &CardPanel::cardsurebtnClick);
}

// Names a screen reader says for the controls whose caption is one glyph or none.
void CardPanel::describeControls()
{
    const std::pair<QWidget*, const char*> names[] = {
        {cardlistview, "贺卡歌曲"},
        {picbtn, "背景图片"},
        {backbtn, "回溯"},
        {colorcombox, "字体颜色"},
        {fontsizecombox, "字体类型"},
        {nameedit, "署名"},
        {iememo, "贺卡文字"},
        {WebBrowser4->view(), "贺卡预览"},
    };
    for (const auto& [widget, name] : names)
        if (widget)
            widget->setAccessibleName(QString::fromUtf8(name));
}

void CardPanel::setTypeIcons(const QList<QIcon>* icons)
{
    cardlistview->setImageList(icons);
}

std::vector<core::SongEntry> CardPanel::rows() const
{
    std::vector<core::SongEntry> rows;
    rows.reserve(static_cast<size_t>(cardlistview->rowCount()));
    for (int row = 0; row < cardlistview->rowCount(); ++row)
        rows.push_back(cardlistview->rowAt(row));
    return rows;
}

void CardPanel::takeChosenRows(const std::vector<core::SongEntry>& rows)
{
    if (!rows.empty())
        takeRow(rows.front());
    emit cardViewAsked();
}

void CardPanel::takeRow(const core::SongEntry& row)
{
    cardlistview->clearRows();
    cardlistview->appendRow(row);
}

void CardPanel::appendRows(const std::vector<core::SongEntry>& rows)
{
    for (const core::SongEntry& row : rows)
        cardlistview->appendRow(row);
}

void CardPanel::cancelbtnClick()
{
    cardlistview->clearRows();
}

void CardPanel::applyEdit(const card::EditResult& result)
{
    switch (result.action) {
    case card::EditAction::None:
        break;
    case card::EditAction::ShowMessage:
        ui::showMessage(this, fromUtf8(card::kSelectFirstMessage));
        break;
    case card::EditAction::ReplaceSelection: {
        // The wrap is not an undoable edit of the text box; since the box's undo history
        // cannot skip it, that history ends here.
        QTextCursor cursor = iememo->textCursor();
        iememo->setUndoRedoEnabled(false);
        cursor.insertText(core::fromGbk(result.replacement));
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

void CardPanel::wrapSelection(std::string_view buttonName)
{
    const card::WrapButtonInfo& button = card::wrapButton(buttonName);
    applyEdit(card::wrapSelection(textBoxState(iememo), titleBoxState(nameedit), button.tags,
                                  button.focus));
}

void CardPanel::htmlrunbtnClick()
{
    wrapSelection("htmlrunbtn");
}

void CardPanel::h1btnClick()
{
    wrapSelection("h1btn");
}

void CardPanel::h2btnClick()
{
    wrapSelection("h2btn");
}

void CardPanel::h3btnClick()
{
    wrapSelection("h3btn");
}

void CardPanel::h4btnClick()
{
    wrapSelection("h4btn");
}

void CardPanel::bigbtnClick()
{
    wrapSelection("bigbtn");
}

void CardPanel::strongbtnClick()
{
    wrapSelection("strongbtn");
}

void CardPanel::ibtnClick()
{
    wrapSelection("ibtn");
}

void CardPanel::ubtnClick()
{
    wrapSelection("ubtn");
}

void CardPanel::centrebtnClick()
{
    wrapSelection("centrebtn");
}

void CardPanel::applyFontTag()
{
    const card::SystemColours system = ui::systemColours(QApplication::palette());
    const int entry = colorcombox->currentIndex();
    const std::string digits =
        card::colourDigits(entry < 0 ? card::kBlackEntry : static_cast<size_t>(entry), system);
    applyEdit(card::applyFontTag(textBoxState(iememo), titleBoxState(nameedit), digits,
                                 core::toGbk(fontsizecombox->currentText())));
}

void CardPanel::colorcomboxChange()
{
    applyFontTag();
}

void CardPanel::fontsizecomboxChange()
{
    applyFontTag();
}

void CardPanel::backbtnClick()
{
    if (iememo->hasFocus())
        iememo->undo();
    else
        nameedit->undo();
}

void CardPanel::cardsurebtnClick()
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
    input.playerDownloadHost = playerDownloadHost_;

    const std::filesystem::path page = core::gbkPath(programFolder_ + "card.html");
    std::error_code ignored;
    std::filesystem::remove(page, ignored);
    core::writeLines(page, card::cardPageLines(input));
}

void CardPanel::previewbtnClick()
{
    cardsurebtnClick();
    WebBrowser4->Navigate(core::fromGbk("file:///" + programFolder_ + "card.html"));
}

void CardPanel::picbtnClick()
{
    OpenDialog1.Execute(this, false); // a cancel keeps the name of an earlier choice
    if (OpenDialog1.fileName.isEmpty())
        return;
    CardPicture = core::toGbk(OpenDialog1.fileName);
    cardsurebtnClick();
}

void CardPanel::iesetbtnClick()
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

} // namespace gui

// The card panel in the main window, offscreen, with the dialogs hooked.
#include "browser/browser_control.h"
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "gui/card_editor_widgets.h"
#include "gui/card_panel.h"
#include "gui/dialogs.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/play_panel.h"
#include "gui/screen_adaptation.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

class CardWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    gui::CardPanel* panel = nullptr; // the window's card panel
    QStringList messages;
    QList<ui::FileDialog> fileDialogs;
    QStringList fileAnswers;  // one answer per dialog shown; empty text is a cancel
    QList<int> filterAnswers; // the filter chosen in each dialog, when given

    void SetUp() override
    {
        ui::dialogHooks().message = [this](const QString& text) { messages << text; };
        ui::dialogHooks().file = [this](ui::FileDialog& d, bool) {
            fileDialogs << d;
            if (!filterAnswers.isEmpty())
                d.filterIndex = filterAnswers.takeFirst();
            return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        };
        Form1Options options;
        options.hosts.pointAllAt("127.0.0.1:9");
        options.programFolder = dir.path().toStdString() + "/";
        form = std::make_unique<TForm1>(options);
        form->endProcess = [](int) {};
        panel = form->cardPanel();
    }
    void TearDown() override
    {
        form.reset();
        ui::dialogHooks() = {};
    }

    std::string folder() const { return dir.path().toStdString() + "/"; }

    // Shows the card view in an active window, so that focus is real.
    void showCardView()
    {
        form->show();
        form->Button5Click();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void focusText(int start, int end)
    {
        panel->iememo->setFocus();
        QTextCursor c = panel->iememo->textCursor();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        panel->iememo->setTextCursor(c);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->iememo->hasFocus(); }));
    }

    void focusTitle(int start, int length)
    {
        panel->nameedit->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->nameedit->hasFocus(); }));
        panel->nameedit->setSelection(start, length);
    }

    static core::SongEntry row(const std::string& n, const std::string& type = "mp3")
    {
        return {n, 0, {"name" + n, "http://h/" + n + "." + type, "2.3M", type}};
    }

    std::vector<std::string> cardFile() const
    {
        return core::readLines(core::gbkPath(folder() + "card.html"));
    }
};

TEST_F(CardWindowTest, PanelControlsAtStart)
{
    EXPECT_FALSE(panel->isVisibleTo(form.get()));
    EXPECT_EQ(panel->title(), "音乐贺卡");
    EXPECT_EQ(panel->toolTip(), "在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 ");
    EXPECT_EQ(panel->cardlistview->columnCount(), 5);
    EXPECT_EQ(panel->cardlistview->headerItem()->text(1), "歌手名");
    EXPECT_EQ(panel->cardlistview->headerItem()->text(4), "类型");
    EXPECT_EQ(panel->cardlistview->rowCount(), 0);
    EXPECT_EQ(panel->cancelbtn->text(), "清空列表");
    EXPECT_EQ(panel->previewLabel->text(), "预览");
    EXPECT_EQ(panel->SeSkinPanel2->title(), "贺卡内容");
    EXPECT_EQ(panel->nameedit->text(), "标题");
    EXPECT_EQ(panel->iememo->toPlainText(), "内容");
    EXPECT_EQ(panel->iememo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(panel->previewbtn->text(), "预览");
    EXPECT_EQ(panel->iesetbtn->text(), "保存位置");
    EXPECT_EQ(panel->cardsurebtn->text(), "生成贺卡");
    EXPECT_TRUE(panel->cardsurebtn->isHidden());
    EXPECT_TRUE(panel->WebBrowser4->browserVisible());
    EXPECT_EQ(panel->picbtn->toolTip(), "背景图片");
    EXPECT_EQ(panel->backbtn->text(), "返");
    EXPECT_EQ(panel->backbtn->toolTip(), "回溯");
    EXPECT_EQ(panel->strongbtn->text(), "重");
    EXPECT_EQ(panel->htmlrunbtn->toolTip(), "跑马灯效果");
    for (QToolButton* b : {panel->htmlrunbtn, panel->h1btn, panel->h2btn, panel->h3btn,
                           panel->h4btn, panel->bigbtn, panel->strongbtn, panel->ibtn, panel->ubtn,
                           panel->centrebtn, panel->picbtn, panel->backbtn})
        EXPECT_EQ(b->focusPolicy(), Qt::TabFocus) << b->objectName().toStdString();
    EXPECT_EQ(panel->OpenDialog1.filter,
              "jpg图片(*.jpg);jpeg图片(*.jpeg);gif图片(*.gif)|*.jpg;*.jpeg;*.gif|"
              "jpeg图片(*.jpeg)|*.jpeg|gif图片(*.gif)|*.gif");
    EXPECT_EQ(panel->OpenDialog1.initialDir, dir.path() + "/pic/");
}

TEST_F(CardWindowTest, ControlsKeepTheirDesignPlaces)
{
    // In the window: where the card view has always been, scaled as the window scales to the
    // screen.
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    const ui::ScreenAdaptation a =
        ui::adaptToScreen(screen.width(), screen.height(), {696, 604, 121, 575, 311, 201, 137});
    const auto s = [&a](int length) { return a.scale ? ui::scaled(length, a) : length; };
    EXPECT_EQ(panel->geometry(), QRect(s(121), s(73), s(575), s(509)));

    // Inside the panel at its design size, each control where its parent has it.
    search::ServiceHosts hosts;
    gui::CardPanel design(folder(), hosts);
    design.setFixedSize(575, 509); // a window of its own would take the platform's size
    design.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&design));
    const std::pair<QWidget*, QRect> places[] = {
        {design.cardlistview, {8, 22, 559, 70}},   {design.previewLabel, {10, 98, 80, 22}},
        {design.cancelbtn, {487, 96, 80, 26}},     {design.WebBrowser4->view(), {8, 126, 559, 190}},
        {design.SeSkinPanel2, {8, 320, 559, 183}}, {design.SeSkinToolBar2, {6, 20, 547, 29}},
        {design.colorcombox, {308, 2, 72, 25}},    {design.fontsizecombox, {386, 2, 159, 25}},
        {design.nameedit, {6, 53, 440, 24}},       {design.iememo, {6, 81, 440, 96}},
        {design.previewbtn, {454, 53, 99, 28}},    {design.iesetbtn, {454, 87, 99, 28}},
        {design.cardsurebtn, {454, 121, 99, 28}},
    };
    for (const auto& [control, place] : places)
        EXPECT_EQ(control->geometry(), place) << control->objectName().toStdString();
    // The tool bar's buttons stand side by side from its left edge.
    QToolButton* const buttons[] = {design.htmlrunbtn, design.h1btn,  design.h2btn,
                                    design.h3btn,      design.h4btn,  design.bigbtn,
                                    design.strongbtn,  design.ibtn,   design.ubtn,
                                    design.centrebtn,  design.picbtn, design.backbtn};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(buttons[i]->geometry(), QRect(2 + 25 * i, 2, 25, 25))
            << buttons[i]->objectName().toStdString();
}

TEST_F(CardWindowTest, ColourListShowsFortyNineSwatchesWithBlackCurrent)
{
    EXPECT_EQ(panel->colorcombox->toolTip(), "字体颜色");
    ASSERT_EQ(panel->colorcombox->count(), 49);
    EXPECT_EQ(panel->colorcombox->currentIndex(), 0);
    for (int i = 0; i < 49; ++i) {
        EXPECT_TRUE(panel->colorcombox->itemText(i).isEmpty());
        EXPECT_FALSE(panel->colorcombox->itemIcon(i).isNull());
    }
    const QImage red = panel->colorcombox->itemIcon(9).pixmap(QSize(40, 14)).toImage();
    EXPECT_EQ(red.pixelColor(20, 7), QColor(255, 0, 0));
    const QImage teal = panel->colorcombox->itemIcon(6).pixmap(QSize(40, 14)).toImage();
    EXPECT_EQ(teal.pixelColor(20, 7), QColor(0, 0x80, 0x80));
}

TEST_F(CardWindowTest, FontListHoldsInstalledFamiliesSortedIgnoringCase)
{
    EXPECT_EQ(panel->fontsizecombox->toolTip(), "字体类型");
    const QStringList installed = QFontDatabase::families();
    ASSERT_FALSE(installed.isEmpty());
    ASSERT_EQ(panel->fontsizecombox->count(), installed.size());
    EXPECT_EQ(panel->fontsizecombox->currentIndex(), 0);
    QStringList shown;
    for (int i = 0; i < panel->fontsizecombox->count(); ++i)
        shown << panel->fontsizecombox->itemText(i);
    for (const QString& f : installed)
        EXPECT_TRUE(shown.contains(f)) << f.toStdString();
    for (int i = 1; i < shown.size(); ++i)
        EXPECT_LE(QString::compare(shown[i - 1], shown[i], Qt::CaseInsensitive), 0)
            << shown[i - 1].toStdString() << " / " << shown[i].toStdString();

    const QStringList sorted = ui::sortedFontFamilies(
        {"zeta", "Alpha", "beta", "ALPHA2", "Beta Sans", "@宋体", "宋体"}, QLocale::c());
    const int alpha = int(sorted.indexOf("Alpha"));
    EXPECT_LT(alpha, sorted.indexOf("ALPHA2"));
    EXPECT_LT(sorted.indexOf("ALPHA2"), sorted.indexOf("beta"));
    EXPECT_LT(sorted.indexOf("beta"), sorted.indexOf("Beta Sans"));
    EXPECT_LT(sorted.indexOf("Beta Sans"), sorted.indexOf("zeta"));
    EXPECT_EQ(sorted.size(), 7);
}

TEST_F(CardWindowTest, SystemColoursComeFromThePalette)
{
    QPalette p;
    p.setColor(QPalette::Active, QPalette::Highlight, QColor(0x12, 0x34, 0x56));
    p.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6D, 0x6D, 0x6D));
    const card::SystemColours s = ui::systemColours(p);
    EXPECT_EQ(s[13], 0x123456u); // clHighlight
    EXPECT_EQ(s[24], 0xFFFFE1u); // clInfoBk
    EXPECT_EQ(s[17], 0x6D6D6Du); // clGrayText
    EXPECT_EQ(ui::paletteSources().size(), 27u);
}

TEST_F(CardWindowTest, CardButtonTakesTheFirstSelectedRowAndShowsThePanel)
{
    for (const char* n : {"1", "2", "3", "4"})
        form->searchPanel()->ListView1->appendRow(row(n));
    form->searchPanel()->ListView1->setRowSelected(1, true);
    form->searchPanel()->ListView1->setRowSelected(2, true);
    form->searchPanel()->ListView1->setRowSelected(3, true);
    form->show();
    form->playPanel()
        ->dragcardbtn->click(); // the play panel's "卡" hands the panel the chosen rows
    ASSERT_EQ(panel->cardlistview->rowCount(), 1);
    EXPECT_EQ(panel->cardlistview->rowAt(0), row("2"));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(form->searchPanel()->ListView1->isVisible());

    form->Button3Click();
    form->searchPanel()->ListView1->clearSelection();
    form->searchPanel()->ListView1->setRowSelected(3, true);
    panel->takeChosenRows(form->searchPanel()->chosenRows());
    ASSERT_EQ(panel->cardlistview->rowCount(), 1);
    EXPECT_EQ(panel->cardlistview->rowAt(0), row("4"));
    EXPECT_TRUE(panel->isVisible());

    // Nothing selected: the panel is shown and the card list stays.
    form->Button3Click();
    form->searchPanel()->ListView1->clearSelection();
    panel->takeChosenRows(form->searchPanel()->chosenRows());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->cardlistview->rowAt(0), row("4"));

    // The result list's double-click replaces the row but leaves the view as it is.
    form->Button3Click();
    panel->takeRow(row("3"));
    ASSERT_EQ(panel->cardlistview->rowCount(), 1);
    EXPECT_EQ(panel->cardlistview->rowAt(0), row("3"));
    EXPECT_FALSE(panel->isVisible());

    panel->appendRows({row("5"), row("6")}); // as the play list's append does
    EXPECT_EQ(panel->rows(), (std::vector<core::SongEntry>{row("3"), row("5"), row("6")}));
    panel->cancelbtn->click();
    EXPECT_EQ(panel->cardlistview->rowCount(), 0);
}

TEST_F(CardWindowTest, WrapButtonsActOnTheFocusedBox)
{
    showCardView();
    focusText(0, 2);
    panel->h1btn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "<h1>内容</h1>");
    EXPECT_TRUE(panel->iememo->hasFocus()); // the button did not take the focus

    panel->iememo->setPlainText("第一行\nxAy");
    focusText(5, 6);
    panel->htmlrunbtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "第一行\nx<br><marquee>A</marquee>y");

    // Text outside the selection stays as it was, even where GBK cannot hold it.
    panel->iememo->setPlainText(QString::fromUtf8("\U0001F600ab\n\u0e01c"));
    focusText(2, 3); // "a", after a character of two UTF-16 units
    panel->bigbtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), QString::fromUtf8("\U0001F600<big>a</big>b\n\u0e01c"));

    focusTitle(1, 1);
    panel->strongbtn->click();
    EXPECT_EQ(panel->nameedit->text(), "<strong>题</strong>");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CardWindowTest, TextSelectionWithTitleFocusOnlyCentres)
{
    showCardView();
    focusText(0, 1);
    focusTitle(0, 2); // the text box keeps its selection when it loses the focus
    ASSERT_TRUE(panel->iememo->textCursor().hasSelection());
    for (QToolButton* b : {panel->htmlrunbtn, panel->h1btn, panel->h2btn, panel->h3btn,
                           panel->h4btn, panel->bigbtn, panel->strongbtn, panel->ibtn, panel->ubtn})
        b->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "内容");
    EXPECT_EQ(panel->nameedit->text(), "标题");
    EXPECT_TRUE(messages.isEmpty());
    panel->centrebtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "<center>内</center>容");
    EXPECT_EQ(panel->nameedit->text(), "标题");
}

TEST_F(CardWindowTest, NoSelectionShowsTheMessageButFontsStaySilent)
{
    showCardView();
    focusText(1, 1);
    panel->ibtn->click();
    panel->centrebtn->click();
    EXPECT_EQ(messages,
              QStringList({"请选择相应内容后再点击本按钮！", "请选择相应内容后再点击本按钮！"}));
    messages.clear();
    panel->colorcombox->setCurrentIndex(9);
    panel->colorcomboxChange();
    panel->fontsizecomboxChange();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(panel->iememo->toPlainText(), "内容");
    EXPECT_EQ(panel->nameedit->text(), "标题");
}

TEST_F(CardWindowTest, FontTagUsesBothListsWithoutFocusCondition)
{
    showCardView();
    panel->fontsizecombox->insertItem(0, "宋体");
    panel->fontsizecombox->setCurrentIndex(0);
    panel->iememo->setPlainText("A");
    focusText(0, 1);
    focusTitle(0, 0); // the focus leaves the text box; its selection stays
    panel->nameedit->deselect();
    panel->colorcombox->setCurrentIndex(9); // clRed
    emit panel->colorcombox->activated(9);
    EXPECT_EQ(panel->iememo->toPlainText(), "<font color=#FF0000 face='宋体'>A</font>");

    panel->iememo->setPlainText("A");
    focusText(0, 1);
    panel->colorcombox->setCurrentIndex(42);  // clNone
    emit panel->fontsizecombox->activated(0); // the font list applies the current colour too
    EXPECT_EQ(panel->iememo->toPlainText(), "<font color=#1FFFFFFF face='宋体'>A</font>");

    // The title, when the text box has no selection.
    focusText(0, 0);
    focusTitle(0, 1);
    panel->colorcombox->setCurrentIndex(12); // clBlue
    panel->colorcomboxChange();
    EXPECT_EQ(panel->nameedit->text(), "<font color=#0000FF face='宋体'>标</font>");
}

TEST_F(CardWindowTest, BackUndoesTheFocusedBox)
{
    showCardView();
    // The title's own history: the wrap is one step.
    focusTitle(0, 1);
    panel->h2btn->click();
    EXPECT_EQ(panel->nameedit->text(), "<h2>标</h2>");
    panel->backbtn->click();
    EXPECT_EQ(panel->nameedit->text(), "标题");

    // The text box: a typed edit is undone.
    focusText(2, 2);
    QTest::keyClicks(panel->iememo, "xy");
    EXPECT_EQ(panel->iememo->toPlainText(), "内容xy");
    panel->backbtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "内容");
    EXPECT_EQ(panel->nameedit->text(), "标题"); // only the focused box

    // A wrap is not an undoable edit, and no earlier edit is undone across it.
    QTest::keyClicks(panel->iememo, "z");
    focusText(0, 3);
    panel->ubtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "<u>内容z</u>");
    panel->backbtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "<u>内容z</u>");
    QTest::keyClicks(panel->iememo, "!");
    panel->backbtn->click();
    EXPECT_EQ(panel->iememo->toPlainText(), "<u>内容z</u>");
}

TEST_F(CardWindowTest, CardPageIsWrittenOnlyWithACardRow)
{
    panel->cardsurebtnClick();
    EXPECT_FALSE(QFile::exists(dir.path() + "/card.html"));

    panel->cardlistview->appendRow(row("1", "Rm"));
    panel->cardlistview->appendRow(row("2", "mp3")); // only the first row is the card's song
    panel->cardsurebtnClick();
    const std::vector<std::string> page = cardFile();
    ASSERT_EQ(page.size(), 26u);
    EXPECT_EQ(page[1], "<body background=\"file:///" + folder() + "pic/0103.jpg\"> ");
    EXPECT_EQ(page[3], "<h2>" + gbk("标题") + "</h2>");
    EXPECT_EQ(page[12], "<param name=\"SRC\" value=\"http://h/1.Rm\">");
    EXPECT_EQ(page[23], "<br>" + gbk("内容"));
    const std::string bytes = core::readFileBytes(core::gbkPath(folder() + "card.html"));
    EXPECT_EQ(bytes.substr(0, 8), "<HTML>\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "</html>\r\n");

    panel->cardlistview->removeRowAt(0);
    panel->iememo->setPlainText("");
    panel->cardsurebtnClick();
    EXPECT_EQ(cardFile().size(), 17u);
    panel->iememo->setPlainText("a\n\nb\n");
    panel->cardsurebtnClick();
    const std::vector<std::string> page2 = cardFile();
    const std::vector<std::string> tail(page2.begin() + 15, page2.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"a", "", "b", "</body>", "</html>"}));
}

TEST_F(CardWindowTest, WrappedLinesCountOncePerShownLine)
{
    showCardView();
    panel->cardlistview->appendRow(row("1", "mp3"));
    const QString longLine = QString("生日快乐").repeated(30);
    panel->iememo->setPlainText(longLine + "\n" + "末行");
    panel->cardsurebtnClick();
    const std::vector<std::string> shown = ui::displayedLines(panel->iememo);
    ASSERT_GT(shown.size(), 2u) << "the long line is shown on several lines";
    std::string joined;
    for (size_t i = 0; i + 1 < shown.size(); ++i)
        joined += shown[i];
    EXPECT_EQ(joined, core::toGbk(longLine));
    const std::vector<std::string> page = cardFile();
    ASSERT_EQ(page.size(), 17u + shown.size());
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(page[15 + i], shown[i]);
    EXPECT_EQ(page[15 + shown.size() - 1], gbk("末行"));
}

TEST_F(CardWindowTest, UnwritablePageRaisesTheFileError)
{
    search::ServiceHosts hosts;
    gui::CardPanel missing(folder() + "missing/", hosts);
    missing.cardlistview->appendRow(row("1"));
    EXPECT_THROW(missing.cardsurebtnClick(), core::FileError);
}

TEST_F(CardWindowTest, PictureChoiceKeepsAnEarlierNameOnCancel)
{
    panel->cardlistview->appendRow(row("1"));
    const QString pic = dir.path() + "/我的 图片/bg 1.jpg";
    fileAnswers << pic << QString();
    panel->picbtn->click();
    ASSERT_EQ(fileDialogs.size(), 1);
    EXPECT_EQ(fileDialogs[0].initialDir, dir.path() + "/pic/");
    EXPECT_EQ(panel->CardPicture, core::toGbk(pic));
    EXPECT_EQ(cardFile()[1], "<body background=\"file:///" + core::toGbk(pic) + "\"> ");

    QFile::remove(dir.path() + "/card.html");
    panel->picbtn->click(); // cancelled: the first choice stays and the page is made again
    EXPECT_EQ(fileDialogs.size(), 2);
    EXPECT_EQ(panel->CardPicture, core::toGbk(pic));
    EXPECT_EQ(cardFile()[1], "<body background=\"file:///" + core::toGbk(pic) + "\"> ");
}

TEST_F(CardWindowTest, FirstPictureDialogCancelledChangesNothing)
{
    const std::string before = panel->CardPicture;
    panel->cardlistview->appendRow(row("1"));
    panel->picbtnClick();
    EXPECT_EQ(panel->CardPicture, before);
    EXPECT_FALSE(QFile::exists(dir.path() + "/card.html"));
}

TEST_F(CardWindowTest, PreviewShowsTheCardAndSaveWritesIt)
{
    showCardView();
    panel->iesetbtnClick(); // nothing shown yet: no dialog
    EXPECT_TRUE(fileDialogs.isEmpty());

    panel->cardlistview->appendRow(row("1", "wma"));
    panel->nameedit->setText("新年快乐");
    QSignalSpy done(panel->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    panel->previewbtn->click();
    EXPECT_EQ(panel->WebBrowser4->address(), core::fromGbk("file:///" + folder() + "card.html"));
    ASSERT_TRUE(done.wait(30000));
    ASSERT_NE(panel->WebBrowser4->document(), nullptr);
    EXPECT_TRUE(panel->WebBrowser4->document()->bodyText.contains("新年快乐"));
    EXPECT_TRUE(panel->WebBrowser4->document()->bodyText.contains("内容"));

    // "HTML only" writes the page's own bytes where the user chooses.
    const QString target = dir.path() + "/saved card.html";
    fileAnswers << target;
    filterAnswers << 2;
    panel->iesetbtn->click();
    ASSERT_EQ(fileDialogs.size(), 1);
    EXPECT_EQ(fileDialogs[0].filter, "网页，全部(*.htm;*.html)|*.htm;*.html|"
                                     "网页，仅 HTML(*.htm;*.html)|*.htm;*.html|"
                                     "Web 档案，单一文件(*.mht)|*.mht");
    EXPECT_EQ(fileDialogs[0].filterIndex, 1);
    EXPECT_EQ(fileDialogs[0].fileName, "card.html");
    EXPECT_EQ(core::readFileBytes(core::gbkPath(core::toGbk(target))),
              core::readFileBytes(core::gbkPath(folder() + "card.html")));
    EXPECT_TRUE(messages.isEmpty());

    // A place that cannot be written reaches the application's error handler.
    fileAnswers << dir.path() + "/no such folder/card.html";
    filterAnswers << 2;
    QTest::mouseClick(panel->iesetbtn, Qt::LeftButton);
    EXPECT_TRUE(form->downloadPanel()->downinimemo->toPlainText().contains("Cannot create file"));
    EXPECT_FALSE(QDir(dir.path() + "/no such folder").exists());
}

TEST_F(CardWindowTest, CompleteSaveCarriesThePictureOrSaysWhatFailed)
{
    showCardView();
    const QString pic = dir.path() + "/我的 图片/bg 1.jpg";
    ASSERT_TRUE(QDir(dir.path()).mkpath("我的 图片"));
    panel->cardlistview->appendRow(row("1", "mp3"));
    panel->nameedit->setText("生日快乐");
    fileAnswers << pic;
    panel->picbtn->click();
    QSignalSpy done(panel->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    panel->previewbtn->click();
    ASSERT_TRUE(done.wait(30000));

    // The picture does not exist yet: the sentence names it and nothing is written.
    const QString target = dir.path() + "/送出/贺卡.html";
    ASSERT_TRUE(QDir(dir.path()).mkdir("送出"));
    fileAnswers << target;
    panel->iesetbtn->click(); // the first filter, "网页，全部", is taken as it is preselected
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("背景图片")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(pic)) << messages[0].toStdString();
    EXPECT_TRUE(QDir(dir.path() + "/送出").isEmpty());

    QFile picture(pic);
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write("GIF89a picture");
    picture.close();
    fileAnswers << target;
    panel->iesetbtn->click();
    EXPECT_EQ(messages.size(), 1);
    const std::vector<std::string> saved = core::readLines(core::gbkPath(core::toGbk(target)));
    const std::vector<std::string> card = cardFile();
    ASSERT_EQ(saved.size(), card.size());
    EXPECT_EQ(saved[1], "<body background=\"%E8%B4%BA%E5%8D%A1_files/bg%201.jpg\"> ");
    EXPECT_EQ(saved[3], "<h2>" + gbk("生日快乐") + "</h2>");
    EXPECT_EQ(saved[12], "<audio src=\"http://h/1.mp3\" controls autoplay loop></audio>");
    EXPECT_EQ(saved[13], card[13]);
    QFile copy(dir.path() + "/送出/贺卡_files/bg 1.jpg");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "GIF89a picture");

    // A file in the way of the picture folder: the sentence names the folder.
    const QString blocked = dir.path() + "/送出/再来.html";
    QFile in_the_way(dir.path() + "/送出/再来_files");
    ASSERT_TRUE(in_the_way.open(QIODevice::WriteOnly));
    in_the_way.close();
    fileAnswers << blocked;
    panel->iesetbtn->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("文件夹")) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains(dir.path() + "/送出/再来_files"));
    EXPECT_FALSE(QFile::exists(blocked));
}

TEST_F(CardWindowTest, PreviewPlaysThroughTheProgramsPlayerNotTheFallback)
{
    showCardView();
    panel->cardlistview->appendRow(row("1", "mp3"));
    QSignalSpy done(panel->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    panel->previewbtn->click();
    ASSERT_TRUE(done.wait(30000));
    ASSERT_EQ(cardFile()[12], "<audio src=\"http://h/1.mp3\" controls autoplay loop></audio>");
    // The program's player takes the place of the whole object, its fallback included.
    auto* page = static_cast<browser::WebEngineBrowser*>(panel->WebBrowser4)->page();
    const auto count = [&](const QString& tag) {
        int n = -1;
        page->runJavaScript("document.getElementsByTagName('" + tag + "').length",
                            QWebEngineScript::ApplicationWorld,
                            [&](const QVariant& v) { n = v.toInt(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return n >= 0; }, 10000));
        return n;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return count("object") == 0; }, 30000));
    EXPECT_EQ(count("audio"), 0);
}

TEST_F(CardWindowTest, PreviewWithEmptyCardListStillNavigates)
{
    panel->previewbtnClick();
    EXPECT_FALSE(QFile::exists(dir.path() + "/card.html"));
    EXPECT_EQ(panel->WebBrowser4->address(), core::fromGbk("file:///" + folder() + "card.html"));
}

} // namespace

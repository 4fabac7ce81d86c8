// The card panel's handlers in the main window, offscreen, with the dialogs hooked.
#include "app/form1.h"
#include "browser/browser_control.h"
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/line_file.h"
#include "gui/card_editor_widgets.h"
#include "gui/dialogs.h"
#include "gui/gbk_qt.h"
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
        form->iememo->setFocus();
        QTextCursor c = form->iememo->textCursor();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        form->iememo->setTextCursor(c);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->iememo->hasFocus(); }));
    }

    void focusTitle(int start, int length)
    {
        form->nameedit->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->nameedit->hasFocus(); }));
        form->nameedit->setSelection(start, length);
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
    EXPECT_FALSE(form->setpanel->isVisibleTo(form.get()));
    EXPECT_EQ(form->setpanel->title(), "音乐贺卡");
    EXPECT_EQ(form->setpanel->toolTip(),
              "在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 ");
    EXPECT_EQ(form->cardlistview->columnCount(), 5);
    EXPECT_EQ(form->cardlistview->headerItem()->text(1), "歌手名");
    EXPECT_EQ(form->cardlistview->headerItem()->text(4), "类型");
    EXPECT_EQ(form->cardlistview->rowCount(), 0);
    EXPECT_EQ(form->cancelbtn->text(), "清空列表");
    EXPECT_EQ(form->previewLabel->text(), "预览");
    EXPECT_EQ(form->SeSkinPanel2->title(), "贺卡内容");
    EXPECT_EQ(form->nameedit->text(), "标题");
    EXPECT_EQ(form->iememo->toPlainText(), "内容");
    EXPECT_EQ(form->iememo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(form->previewbtn->text(), "预览");
    EXPECT_EQ(form->iesetbtn->text(), "保存位置");
    EXPECT_EQ(form->cardsurebtn->text(), "生成贺卡");
    EXPECT_TRUE(form->cardsurebtn->isHidden());
    EXPECT_TRUE(form->WebBrowser4->browserVisible());
    EXPECT_EQ(form->picbtn->toolTip(), "背景图片");
    EXPECT_EQ(form->backbtn->text(), "返");
    EXPECT_EQ(form->backbtn->toolTip(), "回溯");
    EXPECT_EQ(form->strongbtn->text(), "重");
    EXPECT_EQ(form->htmlrunbtn->toolTip(), "跑马灯效果");
    for (QToolButton* b :
         {form->htmlrunbtn, form->h1btn, form->h2btn, form->h3btn, form->h4btn, form->bigbtn,
          form->strongbtn, form->ibtn, form->ubtn, form->centrebtn, form->picbtn, form->backbtn})
        EXPECT_EQ(b->focusPolicy(), Qt::TabFocus) << b->objectName().toStdString();
    EXPECT_EQ(form->OpenDialog1.filter,
              "jpg图片(*.jpg);jpeg图片(*.jpeg);gif图片(*.gif)|*.jpg;*.jpeg;*.gif|"
              "jpeg图片(*.jpeg)|*.jpeg|gif图片(*.gif)|*.gif");
    EXPECT_EQ(form->OpenDialog1.initialDir, dir.path() + "/pic/");
}

TEST_F(CardWindowTest, ColourListShowsFortyNineSwatchesWithBlackCurrent)
{
    EXPECT_EQ(form->colorcombox->toolTip(), "字体颜色");
    ASSERT_EQ(form->colorcombox->count(), 49);
    EXPECT_EQ(form->colorcombox->currentIndex(), 0);
    for (int i = 0; i < 49; ++i) {
        EXPECT_TRUE(form->colorcombox->itemText(i).isEmpty());
        EXPECT_FALSE(form->colorcombox->itemIcon(i).isNull());
    }
    const QImage red = form->colorcombox->itemIcon(9).pixmap(QSize(40, 14)).toImage();
    EXPECT_EQ(red.pixelColor(20, 7), QColor(255, 0, 0));
    const QImage teal = form->colorcombox->itemIcon(6).pixmap(QSize(40, 14)).toImage();
    EXPECT_EQ(teal.pixelColor(20, 7), QColor(0, 0x80, 0x80));
}

TEST_F(CardWindowTest, FontListHoldsInstalledFamiliesSortedIgnoringCase)
{
    EXPECT_EQ(form->fontsizecombox->toolTip(), "字体类型");
    const QStringList installed = QFontDatabase::families();
    ASSERT_FALSE(installed.isEmpty());
    ASSERT_EQ(form->fontsizecombox->count(), installed.size());
    EXPECT_EQ(form->fontsizecombox->currentIndex(), 0);
    QStringList shown;
    for (int i = 0; i < form->fontsizecombox->count(); ++i)
        shown << form->fontsizecombox->itemText(i);
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
    form->dragcardbtnClick();
    ASSERT_EQ(form->cardlistview->rowCount(), 1);
    EXPECT_EQ(form->cardlistview->rowAt(0), row("2"));
    EXPECT_TRUE(form->setpanel->isVisible());
    EXPECT_FALSE(form->searchPanel()->ListView1->isVisible());

    form->Button3Click();
    form->searchPanel()->ListView1->clearSelection();
    form->searchPanel()->ListView1->setRowSelected(3, true);
    if (form->dragcardbtn) // the play panel's "卡" button runs the same handler
        form->dragcardbtn->click();
    else
        form->dragcardbtnClick();
    ASSERT_EQ(form->cardlistview->rowCount(), 1);
    EXPECT_EQ(form->cardlistview->rowAt(0), row("4"));

    // Nothing selected: the panel is shown and the card list stays.
    form->Button3Click();
    form->searchPanel()->ListView1->clearSelection();
    form->dragcardbtnClick();
    EXPECT_TRUE(form->setpanel->isVisible());
    EXPECT_EQ(form->cardlistview->rowAt(0), row("4"));

    form->cardlistview->appendRow(row("5")); // as the play list's append does
    form->cancelbtn->click();
    EXPECT_EQ(form->cardlistview->rowCount(), 0);
}

TEST_F(CardWindowTest, WrapButtonsActOnTheFocusedBox)
{
    showCardView();
    focusText(0, 2);
    form->h1btn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "<h1>内容</h1>");
    EXPECT_TRUE(form->iememo->hasFocus()); // the button did not take the focus

    form->iememo->setPlainText("第一行\nxAy");
    focusText(5, 6);
    form->htmlrunbtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "第一行\nx<br><marquee>A</marquee>y");

    // Text outside the selection stays as it was, even where GBK cannot hold it.
    form->iememo->setPlainText(QString::fromUtf8("\U0001F600ab\n\u0e01c"));
    focusText(2, 3); // "a", after a character of two UTF-16 units
    form->bigbtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), QString::fromUtf8("\U0001F600<big>a</big>b\n\u0e01c"));

    focusTitle(1, 1);
    form->strongbtn->click();
    EXPECT_EQ(form->nameedit->text(), "<strong>题</strong>");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CardWindowTest, TextSelectionWithTitleFocusOnlyCentres)
{
    showCardView();
    focusText(0, 1);
    focusTitle(0, 2); // the text box keeps its selection when it loses the focus
    ASSERT_TRUE(form->iememo->textCursor().hasSelection());
    for (QToolButton* b : {form->htmlrunbtn, form->h1btn, form->h2btn, form->h3btn, form->h4btn,
                           form->bigbtn, form->strongbtn, form->ibtn, form->ubtn})
        b->click();
    EXPECT_EQ(form->iememo->toPlainText(), "内容");
    EXPECT_EQ(form->nameedit->text(), "标题");
    EXPECT_TRUE(messages.isEmpty());
    form->centrebtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "<center>内</center>容");
    EXPECT_EQ(form->nameedit->text(), "标题");
}

TEST_F(CardWindowTest, NoSelectionShowsTheMessageButFontsStaySilent)
{
    showCardView();
    focusText(1, 1);
    form->ibtn->click();
    form->centrebtn->click();
    EXPECT_EQ(messages,
              QStringList({"请选择相应内容后再点击本按钮！", "请选择相应内容后再点击本按钮！"}));
    messages.clear();
    form->colorcombox->setCurrentIndex(9);
    form->colorcomboxChange();
    form->fontsizecomboxChange();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(form->iememo->toPlainText(), "内容");
    EXPECT_EQ(form->nameedit->text(), "标题");
}

TEST_F(CardWindowTest, FontTagUsesBothListsWithoutFocusCondition)
{
    showCardView();
    form->fontsizecombox->insertItem(0, "宋体");
    form->fontsizecombox->setCurrentIndex(0);
    form->iememo->setPlainText("A");
    focusText(0, 1);
    focusTitle(0, 0); // the focus leaves the text box; its selection stays
    form->nameedit->deselect();
    form->colorcombox->setCurrentIndex(9); // clRed
    emit form->colorcombox->activated(9);
    EXPECT_EQ(form->iememo->toPlainText(), "<font color=#FF0000 face='宋体'>A</font>");

    form->iememo->setPlainText("A");
    focusText(0, 1);
    form->colorcombox->setCurrentIndex(42);  // clNone
    emit form->fontsizecombox->activated(0); // the font list applies the current colour too
    EXPECT_EQ(form->iememo->toPlainText(), "<font color=#1FFFFFFF face='宋体'>A</font>");

    // The title, when the text box has no selection.
    focusText(0, 0);
    focusTitle(0, 1);
    form->colorcombox->setCurrentIndex(12); // clBlue
    form->colorcomboxChange();
    EXPECT_EQ(form->nameedit->text(), "<font color=#0000FF face='宋体'>标</font>");
}

TEST_F(CardWindowTest, BackUndoesTheFocusedBox)
{
    showCardView();
    // The title's own history: the wrap is one step.
    focusTitle(0, 1);
    form->h2btn->click();
    EXPECT_EQ(form->nameedit->text(), "<h2>标</h2>");
    form->backbtn->click();
    EXPECT_EQ(form->nameedit->text(), "标题");

    // The text box: a typed edit is undone.
    focusText(2, 2);
    QTest::keyClicks(form->iememo, "xy");
    EXPECT_EQ(form->iememo->toPlainText(), "内容xy");
    form->backbtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "内容");
    EXPECT_EQ(form->nameedit->text(), "标题"); // only the focused box

    // A wrap is not an undoable edit, and no earlier edit is undone across it.
    QTest::keyClicks(form->iememo, "z");
    focusText(0, 3);
    form->ubtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "<u>内容z</u>");
    form->backbtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "<u>内容z</u>");
    QTest::keyClicks(form->iememo, "!");
    form->backbtn->click();
    EXPECT_EQ(form->iememo->toPlainText(), "<u>内容z</u>");
}

TEST_F(CardWindowTest, CardPageIsWrittenOnlyWithACardRow)
{
    form->cardsurebtnClick();
    EXPECT_FALSE(QFile::exists(dir.path() + "/card.html"));

    form->cardlistview->appendRow(row("1", "Rm"));
    form->cardlistview->appendRow(row("2", "mp3")); // only the first row is the card's song
    form->cardsurebtnClick();
    const std::vector<std::string> page = cardFile();
    ASSERT_EQ(page.size(), 26u);
    EXPECT_EQ(page[1], "<body background=\"file:///" + folder() + "pic/0103.jpg\"> ");
    EXPECT_EQ(page[3], "<h2>" + gbk("标题") + "</h2>");
    EXPECT_EQ(page[12], "<param name=\"SRC\" value=\"http://h/1.Rm\">");
    EXPECT_EQ(page[23], "<br>" + gbk("内容"));
    const std::string bytes = core::readFileBytes(core::gbkPath(folder() + "card.html"));
    EXPECT_EQ(bytes.substr(0, 8), "<HTML>\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "</html>\r\n");

    form->cardlistview->removeRowAt(0);
    form->iememo->setPlainText("");
    form->cardsurebtnClick();
    EXPECT_EQ(cardFile().size(), 17u);
    form->iememo->setPlainText("a\n\nb\n");
    form->cardsurebtnClick();
    const std::vector<std::string> page2 = cardFile();
    const std::vector<std::string> tail(page2.begin() + 15, page2.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"a", "", "b", "</body>", "</html>"}));
}

TEST_F(CardWindowTest, WrappedLinesCountOncePerShownLine)
{
    showCardView();
    form->cardlistview->appendRow(row("1", "mp3"));
    const QString longLine = QString("生日快乐").repeated(30);
    form->iememo->setPlainText(longLine + "\n" + "末行");
    form->cardsurebtnClick();
    const std::vector<std::string> shown = ui::displayedLines(form->iememo);
    ASSERT_GT(shown.size(), 2u) << "the long line is shown on several lines";
    std::string joined;
    for (size_t i = 0; i + 1 < shown.size(); ++i)
        joined += shown[i];
    EXPECT_EQ(joined, ui::toGbk(longLine));
    const std::vector<std::string> page = cardFile();
    ASSERT_EQ(page.size(), 17u + shown.size());
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(page[15 + i], shown[i]);
    EXPECT_EQ(page[15 + shown.size() - 1], gbk("末行"));
}

TEST_F(CardWindowTest, UnwritablePageRaisesTheFileError)
{
    form->cardlistview->appendRow(row("1"));
    form->ProgramFolder = folder() + "missing/";
    EXPECT_THROW(form->cardsurebtnClick(), core::FileError);
}

TEST_F(CardWindowTest, PictureChoiceKeepsAnEarlierNameOnCancel)
{
    form->cardlistview->appendRow(row("1"));
    const QString pic = dir.path() + "/我的 图片/bg 1.jpg";
    fileAnswers << pic << QString();
    form->picbtn->click();
    ASSERT_EQ(fileDialogs.size(), 1);
    EXPECT_EQ(fileDialogs[0].initialDir, dir.path() + "/pic/");
    EXPECT_EQ(form->CardPicture, ui::toGbk(pic));
    EXPECT_EQ(cardFile()[1], "<body background=\"file:///" + ui::toGbk(pic) + "\"> ");

    QFile::remove(dir.path() + "/card.html");
    form->picbtn->click(); // cancelled: the first choice stays and the page is made again
    EXPECT_EQ(fileDialogs.size(), 2);
    EXPECT_EQ(form->CardPicture, ui::toGbk(pic));
    EXPECT_EQ(cardFile()[1], "<body background=\"file:///" + ui::toGbk(pic) + "\"> ");
}

TEST_F(CardWindowTest, FirstPictureDialogCancelledChangesNothing)
{
    const std::string before = form->CardPicture;
    form->cardlistview->appendRow(row("1"));
    form->picbtnClick();
    EXPECT_EQ(form->CardPicture, before);
    EXPECT_FALSE(QFile::exists(dir.path() + "/card.html"));
}

TEST_F(CardWindowTest, PreviewShowsTheCardAndSaveWritesIt)
{
    showCardView();
    form->iesetbtnClick(); // nothing shown yet: no dialog
    EXPECT_TRUE(fileDialogs.isEmpty());

    form->cardlistview->appendRow(row("1", "wma"));
    form->nameedit->setText("新年快乐");
    QSignalSpy done(form->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    form->previewbtn->click();
    EXPECT_EQ(form->WebBrowser4->address(), ui::fromGbk("file:///" + folder() + "card.html"));
    ASSERT_TRUE(done.wait(30000));
    ASSERT_NE(form->WebBrowser4->document(), nullptr);
    EXPECT_TRUE(form->WebBrowser4->document()->bodyText.contains("新年快乐"));
    EXPECT_TRUE(form->WebBrowser4->document()->bodyText.contains("内容"));

    // "HTML only" writes the page's own bytes where the user chooses.
    const QString target = dir.path() + "/saved card.html";
    fileAnswers << target;
    filterAnswers << 2;
    form->iesetbtn->click();
    ASSERT_EQ(fileDialogs.size(), 1);
    EXPECT_EQ(fileDialogs[0].filter, "网页，全部(*.htm;*.html)|*.htm;*.html|"
                                     "网页，仅 HTML(*.htm;*.html)|*.htm;*.html|"
                                     "Web 档案，单一文件(*.mht)|*.mht");
    EXPECT_EQ(fileDialogs[0].filterIndex, 1);
    EXPECT_EQ(fileDialogs[0].fileName, "card.html");
    EXPECT_EQ(core::readFileBytes(core::gbkPath(ui::toGbk(target))),
              core::readFileBytes(core::gbkPath(folder() + "card.html")));
    EXPECT_TRUE(messages.isEmpty());

    // A place that cannot be written reaches the application's error handler.
    fileAnswers << dir.path() + "/no such folder/card.html";
    filterAnswers << 2;
    QTest::mouseClick(form->iesetbtn, Qt::LeftButton);
    EXPECT_TRUE(form->downinimemo->toPlainText().contains("Cannot create file"));
    EXPECT_FALSE(QDir(dir.path() + "/no such folder").exists());
}

TEST_F(CardWindowTest, CompleteSaveCarriesThePictureOrSaysWhatFailed)
{
    showCardView();
    const QString pic = dir.path() + "/我的 图片/bg 1.jpg";
    ASSERT_TRUE(QDir(dir.path()).mkpath("我的 图片"));
    form->cardlistview->appendRow(row("1", "mp3"));
    form->nameedit->setText("生日快乐");
    fileAnswers << pic;
    form->picbtn->click();
    QSignalSpy done(form->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    form->previewbtn->click();
    ASSERT_TRUE(done.wait(30000));

    // The picture does not exist yet: the sentence names it and nothing is written.
    const QString target = dir.path() + "/送出/贺卡.html";
    ASSERT_TRUE(QDir(dir.path()).mkdir("送出"));
    fileAnswers << target;
    form->iesetbtn->click(); // the first filter, "网页，全部", is taken as it is preselected
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("背景图片")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(pic)) << messages[0].toStdString();
    EXPECT_TRUE(QDir(dir.path() + "/送出").isEmpty());

    QFile picture(pic);
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write("GIF89a picture");
    picture.close();
    fileAnswers << target;
    form->iesetbtn->click();
    EXPECT_EQ(messages.size(), 1);
    const std::vector<std::string> saved = core::readLines(core::gbkPath(ui::toGbk(target)));
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
    form->iesetbtn->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("文件夹")) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains(dir.path() + "/送出/再来_files"));
    EXPECT_FALSE(QFile::exists(blocked));
}

TEST_F(CardWindowTest, PreviewPlaysThroughTheProgramsPlayerNotTheFallback)
{
    showCardView();
    form->cardlistview->appendRow(row("1", "mp3"));
    QSignalSpy done(form->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    form->previewbtn->click();
    ASSERT_TRUE(done.wait(30000));
    ASSERT_EQ(cardFile()[12], "<audio src=\"http://h/1.mp3\" controls autoplay loop></audio>");
    // The program's player takes the place of the whole object, its fallback included.
    auto* page = static_cast<browser::WebEngineBrowser*>(form->WebBrowser4)->page();
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
    form->previewbtnClick();
    EXPECT_FALSE(QFile::exists(dir.path() + "/card.html"));
    EXPECT_EQ(form->WebBrowser4->address(), ui::fromGbk("file:///" + folder() + "card.html"));
}

} // namespace

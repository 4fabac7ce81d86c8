// A greeting card end to end: a search against the demo service, a result row double-clicked
// onto the card list, a title and a text marked up with the tool bar, the preview in the card
// browser with its background picture, and the card saved elsewhere with its picture.
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "demo_service_fixture.h"
#include "gui/card_editor_widgets.h"
#include "gui/card_panel.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

// The default background picture that comes with the program.
std::filesystem::path defaultPicture()
{
    return std::filesystem::path(CORVALE_DATA_DIR) / "pic" / "0103.jpg";
}

// Runs a script in the page's isolated world and waits for its result.
QVariant evaluate(browser::BrowserControl* browser, const QString& script)
{
    auto* page = static_cast<browser::WebEngineBrowser*>(browser)->page();
    QVariant result;
    bool done = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        ADD_FAILURE() << "no answer from the page: " << script.toStdString();
    return result;
}

void selectText(QPlainTextEdit* box, int start, int end)
{
    box->setFocus();
    QTextCursor c = box->textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    box->setTextCursor(c);
}

TEST(CardEndToEnd, DoubleClickedSongMarkedUpPreviewedAndSaved)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    ASSERT_TRUE(QDir(dir.path()).mkdir("pic"));
    std::filesystem::copy_file(defaultPicture(), core::gbkPath(folder + "pic/0103.jpg"));

    QStringList messages;
    QStringList saveAnswers;
    ui::dialogHooks().message = [&](const QString& text) { messages << text; };
    ui::dialogHooks().file = [&](const ui::FileDialog&, bool) {
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    };
    Form1Options options;
    options.hosts.pointAllAt(service.host());
    options.programFolder = folder;
    auto form = std::make_unique<TForm1>(options);
    form->endProcess = [](int) {};
    gui::CardPanel* const panel = form->cardPanel();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    // An RM search; the second result row is double-clicked onto the card list.
    form->searchPanel()->SeSkinComboBox1->setCurrentIndex(1);
    form->searchPanel()->Edit1->setText("周杰伦");
    form->searchPanel()->Button1->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() >= 3; }, 60000));
    form->searchPanel()->stopbtn->click();
    const core::SongEntry song = form->searchPanel()->ListView1->rowAt(1);
    ASSERT_EQ(song.sub(core::SubItem::TypeText), "rm"); // lower case: still the RealPlayer form
    const QRect rowRect = form->searchPanel()->ListView1->visualItemRect(
        form->searchPanel()->ListView1->itemAtRow(1));
    QTest::mouseClick(form->searchPanel()->ListView1->viewport(), Qt::LeftButton, {},
                      rowRect.center());
    QTest::mouseDClick(form->searchPanel()->ListView1->viewport(), Qt::LeftButton, {},
                       rowRect.center());
    ASSERT_EQ(panel->cardlistview->rowCount(), 1);
    EXPECT_EQ(panel->cardlistview->rowAt(0), song);

    // Title and text, marked up with three buttons, a colour and a font.
    form->Button5->click();
    ASSERT_TRUE(panel->isVisible());
    panel->nameedit->setText("新年快乐");
    panel->nameedit->setFocus();
    panel->nameedit->selectAll();
    panel->h1btn->click();
    EXPECT_EQ(panel->nameedit->text(), "<h1>新年快乐</h1>");

    panel->iememo->setPlainText("祝你新年快乐\n万事如意\n心想事成");
    selectText(panel->iememo, 0, 6);
    panel->strongbtn->click();
    const int line2 = int(QString("<strong>祝你新年快乐</strong>\n").size());
    selectText(panel->iememo, line2, line2 + 4);
    panel->colorcombox->setCurrentIndex(9); // clRed
    emit panel->colorcombox->activated(9);
    const QString font = panel->fontsizecombox->itemText(panel->fontsizecombox->count() - 1);
    const int line3 = int(panel->iememo->toPlainText().indexOf("心想事成"));
    selectText(panel->iememo, line3, line3 + 4);
    panel->fontsizecombox->setCurrentIndex(panel->fontsizecombox->count() - 1);
    emit panel->fontsizecombox->activated(panel->fontsizecombox->count() - 1);
    const int centre = int(panel->iememo->toPlainText().indexOf("万事如意"));
    selectText(panel->iememo, centre, centre + 4);
    panel->centrebtn->click();
    const QString fontTag = "<font color=#FF0000 face='" + font + "'>";
    // The colour took the font list's first entry; the font took the current colour.
    const QString firstFont = panel->fontsizecombox->itemText(0);
    EXPECT_EQ(panel->iememo->toPlainText().toStdString(),
              ("<strong>祝你新年快乐</strong>\n<font color=#FF0000 face='" + firstFont +
               "'><center>万事如意</center></font>\n" + fontTag + "心想事成</font>")
                  .toStdString());
    EXPECT_TRUE(messages.isEmpty());

    // The preview writes card.html and shows it.
    QSignalSpy complete(panel->WebBrowser4, &browser::BrowserControl::DocumentComplete);
    panel->previewbtn->click();
    ASSERT_TRUE(complete.wait(30000));
    const std::vector<std::string> page = core::readLines(core::gbkPath(folder + "card.html"));
    // The RealPlayer form with one line per shown line of the text (long lines wrap).
    const std::vector<std::string> shownLines = ui::displayedLines(panel->iememo);
    ASSERT_GE(shownLines.size(), 3u);
    ASSERT_EQ(page.size(), 25u + shownLines.size());
    for (size_t i = 0; i < shownLines.size(); ++i)
        EXPECT_EQ(page[23 + i], "<br>" + shownLines[i]);
    EXPECT_EQ(page[1], "<body background=\"file:///" + folder + "pic/0103.jpg\"> ");
    EXPECT_EQ(page[3], "<h2>" + g("<h1>新年快乐</h1>") + "</h2>");
    EXPECT_EQ(page[12], "<param name=\"SRC\" value=\"" + song.sub(core::SubItem::Address) + "\">");
    EXPECT_EQ(page[23], "<br>" + g("<strong>祝你新年快乐</strong>"));
    const browser::Document* shown = panel->WebBrowser4->document();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->bodyText.contains("新年快乐"));
    EXPECT_TRUE(
        shown->bodyText.contains("祝你新年快乐")); // (longer lines break where the box wraps)

    // The page's background address leads the browser to the picture.
    EXPECT_EQ(evaluate(panel->WebBrowser4, "document.body.getAttribute('background')").toString(),
              core::fromGbk("file:///" + folder + "pic/0103.jpg"));
    evaluate(panel->WebBrowser4,
             "window.bg = 'loading'; var probe = new Image();"
             "probe.onload = function () { window.bg = probe.naturalWidth + 'x' +"
             " probe.naturalHeight; };"
             "probe.onerror = function () { window.bg = 'error'; };"
             "probe.src = document.body.background; 0");
    QString loaded;
    const bool settled = QTest::qWaitFor(
        [&] {
            loaded = evaluate(panel->WebBrowser4, "window.bg").toString();
            return loaded != "loading";
        },
        10000);
    EXPECT_TRUE(settled);
    EXPECT_EQ(loaded, "640x480");

    // A screenshot of the window, when asked for (look at it to see the card).
    if (const QByteArray shot = qgetenv("CORVALE_CARD_SCREENSHOT"); !shot.isEmpty()) {
        QTest::qWait(1500);
        form->grab().save(QString::fromLocal8Bit(shot));
    }

    // "保存位置" saves the card complete where the user chooses: the page's own lines, its
    // picture beside it in a folder, and the body line pointing there.
    const QString target = dir.path() + "/贺卡 副本.html";
    saveAnswers << target;
    panel->iesetbtn->click();
    EXPECT_TRUE(messages.isEmpty());
    std::vector<std::string> expected = page;
    expected[1] = "<body background=\"%E8%B4%BA%E5%8D%A1%20%E5%89%AF%E6%9C%AC_files/0103.jpg\"> ";
    EXPECT_EQ(core::readLines(std::filesystem::path(target.toStdString())), expected);
    EXPECT_EQ(core::readFileBytes(std::filesystem::path(dir.path().toStdString()) /
                                  std::filesystem::path("贺卡 副本_files/0103.jpg")),
              core::readFileBytes(defaultPicture()));
    ui::dialogHooks() = {};
}

} // namespace

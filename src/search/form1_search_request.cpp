// Starting a search and capturing each finished result page.
#include "app/form1.h"

#include "browser/browser_control.h"
#include "core/line_file.h"
#include "download/transfer_engine.h"
#include "gui/download_panel.h"
#include "search/archive_window.h"
#include "search/result_page_parser.h"
#include "search/search_log.h"
#include "search/search_request.h"
#include "gui/dialogs.h"
#include "core/gbk_qt.h"
#include "gui/song_list_view.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

void TForm1::connectSearchHandlers()
{
    searchAnswerTimer = new QTimer(this);
    searchAnswerTimer->setSingleShot(true);
    searchAnswerTimer->setInterval(search::kAnswerTime);
    connect(searchAnswerTimer, &QTimer::timeout, this, &TForm1::searchAnswerTimeout);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Edit1, &QLineEdit::returnPressed, this, &TForm1::Button1Click);
    connect(SeSkinComboBox1, &QComboBox::activated, this, &TForm1::SeSkinComboBox1Change);
    connect(SeSkinSpeedButton2, &QToolButton::clicked, this, &TForm1::SeSkinSpeedButton2Click);
    connect(stopbtn, &QToolButton::clicked, this, &TForm1::stopbtnClick);
    connect(WebBrowser1, &browser::BrowserControl::ProgressChange, this,
            &TForm1::WebBrowser1ProgressChange);
    connect(WebBrowser1, &browser::BrowserControl::DocumentComplete, this,
            &TForm1::WebBrowser1DocumentComplete);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(manlistbtn, &QToolButton::clicked, this, &TForm1::manlistbtnClick);
    connect(womanlistbtn, &QToolButton::clicked, this, &TForm1::womanlistbtnClick);
    connect(musiclist, &QToolButton::clicked, this, &TForm1::musiclistClick);
    connect(menubtn, &QToolButton::clicked, this, &TForm1::menubtnClick);
    connect(WebBrowser2, &browser::BrowserControl::ProgressChange, this,
            &TForm1::WebBrowser2ProgressChange);
    connect(WebBrowser2, &browser::BrowserControl::DocumentComplete, this,
            &TForm1::WebBrowser2DocumentComplete);
    connect(ListView1, &ui::SongListView::rowSelectionChanged, this, &TForm1::ListView1SelectItem);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
}

void TForm1::Button1Click()
{
    SearchStopped = 0;
    if (Edit1->text().isEmpty()) {
        Edit1->setFocus();
        return;
    }
    ListView1->clearRows();
    ResultRowCount = 0;
    // Each search writes its own total into the caption (it is written over the initial one).
    resultlabel->setText(core::fromGbk(search::initialLabel()));
    const int image = search::headerImage(MediaType());
    ListView1->headerItem()->setIcon(0, image < ImageList1.size() ? ImageList1[image] : QIcon());
    if (archiveChosen()) {
        archiveWindow_->search(Edit1->text().toStdString(), MediaType());
        return;
    }
    const std::string address =
        search::firstRequestAddress(hosts, core::toGbk(Edit1->text()), MediaType());
    qCDebug(searchLog, "search request sent: %s", qUtf8Printable(core::fromGbk(address)));
    WebBrowser1->Navigate(core::fromGbk(address));
    searchAnswerTimer->start();
    WebBrowser1->setBrowserVisible(false);
    ResultPageNumber = 1;
}

void TForm1::SeSkinComboBox1Change()
{
    if (!SeSkinComboBox1->currentText().isEmpty() && !Edit1->text().isEmpty())
        Button1Click();
}

void TForm1::SeSkinSpeedButton2Click()
{
    ListView1->clearRows();
    Button1->click();
}

void TForm1::stopbtnClick()
{
    SearchStopped = -1;
    qCDebug(searchLog, "search stopped: %d rows listed", ListView1->rowCount());
    WebBrowser1->Stop();
    searchAnswerTimer->stop();
    SeSkinProgressBar6->setValue(0);
    archiveWindow_->stop();
    // A download waiting to retry a dropped range tries again now instead of after its pause.
    if (downloadPanel_)
        downloadPanel_->engine()->cutRetryPausesShort();
}

void TForm1::WebBrowser1ProgressChange(int progress, int maximum)
{
    SeSkinProgressBar6->setMaximum(maximum);
    // A stopped search shows nothing loading, whatever its stopped page still reports.
    SeSkinProgressBar6->setValue(SearchStopped == -1 ? 0 : progress);
}

void TForm1::WebBrowser1DocumentComplete()
{
    searchAnswerTimer->stop();
    Memo1.clear();
    const browser::Document* document = WebBrowser1->document();
    if (!document) {
        const int status = WebBrowser1->httpStatus();
        qCDebug(searchLog, "result page did not load (status %d)", status);
        ui::showMessage(this, status > 0 ? QString("服务器回答 %1").arg(status)
                                         : QString("请检查网络连接!"));
        return;
    }
    Memo1 = core::splitLines(core::toGbk(document->bodyText));
    Button7Click();
}

void TForm1::searchAnswerTimeout()
{
    qCDebug(searchLog, "result page got no answer");
    WebBrowser1->Stop();
    SeSkinProgressBar6->setValue(0);
    ui::showMessage(this, "服务器没有响应");
}

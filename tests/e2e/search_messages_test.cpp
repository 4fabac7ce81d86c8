// What a search says when its server does not give result pages: the error status it answered
// with, or that it gave no answer at all; a stopped search shows nothing loading.
#include "gui/browser_search_engine.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/search_panel.h"
#include "support/loopback_server.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

using testsupport::Behaviour;

TEST(SearchMessages, AnErrorStatusIsNamedAndAServerThatNeverAnswersIsGivenUp)
{
    testsupport::LoopbackServer server;
    Behaviour error;
    error.status = 500;
    server.addFixedFile("/m", "", error);
    QTemporaryDir dir;
    QStringList messages;
    ui::dialogHooks().message = [&](const QString& text) { messages << text; };
    Form1Options options;
    options.hosts.pointAllAt(server.host() + ":" + std::to_string(server.port()));
    options.programFolder = dir.path().toStdString() + "/";
    TForm1 form(options);
    form.searchPanel()->Edit1->setText("abc");

    form.searchPanel()->Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 30000));
    EXPECT_EQ(messages, QStringList{"服务器回答 500"});

    // The server takes the request and says nothing: the window gives up after its wait
    // (shortened here) and says so, with nothing shown as loading.
    Behaviour silent;
    silent.headDelay = std::chrono::minutes(10);
    server.setBehaviour("/m", silent);
    messages.clear();
    form.searchPanel()->defaultEngine()->searchAnswerTimer->setInterval(1000);
    form.searchPanel()->Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 30000));
    EXPECT_EQ(messages, QStringList{"服务器没有响应"});
    EXPECT_EQ(form.searchPanel()->SeSkinProgressBar6->value(), 0);

    // "停" while a page loads: the bar is empty, whatever the stopped page still reports.
    messages.clear();
    form.searchPanel()->defaultEngine()->searchAnswerTimer->setInterval(60000);
    form.searchPanel()->Button1->click();
    form.searchPanel()->stopbtn->click();
    EXPECT_EQ(form.searchPanel()->SeSkinProgressBar6->value(), 0);
    EXPECT_FALSE(form.searchPanel()->defaultEngine()->searchAnswerTimer->isActive());
    form.searchPanel()->defaultEngine()->WebBrowser1ProgressChange(100, 100);
    EXPECT_EQ(form.searchPanel()->SeSkinProgressBar6->value(), 0);
    EXPECT_TRUE(messages.isEmpty());
    ui::dialogHooks() = {};
}

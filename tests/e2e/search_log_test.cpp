// The search subsystem's log: silent by default; with "corvale.search.debug=true" one line per
// request sent (with its address), page parsed (with its row count), next page, stop and chart
// page, against the demo service.
#include "gui/search_log.h"
#include "gui/search_panel.h"
#include "service_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

#include <mutex>

namespace {

// Collects the messages of the search category while it lives.
class SearchLogCapture {
public:
    SearchLogCapture()
    {
        std::lock_guard lock(mutex);
        lines().clear();
        previous() = qInstallMessageHandler(&SearchLogCapture::handle);
        QLoggingCategory::setFilterRules("corvale.search.debug=true");
    }
    ~SearchLogCapture()
    {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous());
    }
    // Everything logged since the last clear(), one message a line.
    QString text()
    {
        std::lock_guard lock(mutex);
        return lines().join("\n");
    }
    void clear()
    {
        std::lock_guard lock(mutex);
        lines().clear();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (context.category && QByteArray(context.category) == "corvale.search") {
            std::lock_guard lock(mutex);
            lines() << text;
            return;
        }
        if (previous())
            previous()(type, context, text);
    }
    static QStringList& lines()
    {
        static QStringList list;
        return list;
    }
    static QtMessageHandler& previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static inline std::mutex mutex;
};

} // namespace

TEST(SearchLog, OffByDefaultAndTellsEachStepOfASearchWhenTurnedOn)
{
    // Without rules (tests run with none set) the category stays quiet below warnings.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES")) {
        EXPECT_FALSE(searchLog().isDebugEnabled());
    }

    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    e2e::ServiceWindow w(service);
    SearchLogCapture log;
    const QString host = QString::fromStdString(service.host());

    // 陈奕迅 has 90 results; the program's second request asks for offset 60, its third for
    // offset 90, which finds none.
    w.form->searchPanel()->SeSkinComboBox1->setCurrentIndex(0);
    w.form->searchPanel()->Edit1->setText(QString::fromUtf8("陈奕迅"));
    w.form->searchPanel()->Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.text().contains("result page 3 parsed"); }, 90000))
        << log.text().toStdString();
    w.form->searchPanel()->stopbtn->click();
    const QString all = log.text();
    EXPECT_TRUE(all.contains("search request sent: http://" + host + "/m?")) << all.toStdString();
    EXPECT_TRUE(all.contains("result page 1 parsed: 30 rows, 30 listed")) << all.toStdString();
    EXPECT_TRUE(all.contains("next page requested: http://" + host + "/m?")) << all.toStdString();
    EXPECT_TRUE(all.contains("result page 3 parsed: 0 rows, 60 listed")) << all.toStdString();
    EXPECT_TRUE(all.contains("search stopped: 60 rows listed")) << all.toStdString();

    log.clear();
    w.form->searchPanel()->manlistbtn->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.text().contains("page loaded"); }, 60000));
    const QString chart = log.text();
    EXPECT_TRUE(chart.contains("chart request sent: http://" + host + "/ngeshou.html"))
        << chart.toStdString();
    EXPECT_TRUE(chart.contains(QString("chart or album page loaded: %1 rows").arg(w.rows())))
        << chart.toStdString();
}

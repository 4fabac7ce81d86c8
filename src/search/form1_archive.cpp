// The engine box and the archive engine's searches in the main window.
#include "app/form1.h"

#include "desktop/user_settings.h"
#include "search/archive_window.h"
#include "search/search_log.h"
#include "core/gbk_qt.h"
#include "gui/song_list_view.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

namespace {

const char* const kEngineSetting = "search/engine";
const char* const kChartsNeedDefaultEngine = "互联网档案馆没有排行榜和专辑：请改选默认mp3搜索引擎";

// The chart and album buttons with the hints they were made with.
std::vector<std::pair<QToolButton*, QString>> chartButtons(const TForm1& form)
{
    static const QString hints[] = {"男歌手列表", "女歌手列表", "歌曲列表", "显示相关专辑"};
    return {{form.manlistbtn, hints[0]},
            {form.womanlistbtn, hints[1]},
            {form.musiclist, hints[2]},
            {form.menubtn, hints[3]}};
}

// The HTTP layer's lines for the user are in the program's code page; its socket lines name the
// system's error, which says nothing more than "check the network" to a user.
QString causeOf(const std::string& detail)
{
    const QString cause = core::fromGbk(detail).trimmed();
    return cause.startsWith("Socket Error") ? QString() : cause;
}

QString troubleText(search::archive::Trouble trouble, const std::string& detail)
{
    using search::archive::Trouble;
    switch (trouble) {
    case Trouble::Unreachable:
        if (const QString cause = causeOf(detail); !cause.isEmpty())
            return "无法连接互联网档案馆：" + cause;
        return "无法连接互联网档案馆，请检查网络连接";
    case Trouble::ServerError:
        return "互联网档案馆出错：" + core::fromGbk(detail).trimmed();
    case Trouble::TooLarge:
        return "互联网档案馆的回答过大，未读取";
    case Trouble::BadAnswer:
        return "互联网档案馆的回答无法识别";
    case Trouble::NothingFound:
        return "互联网档案馆没有找到相关条目";
    }
    return {};
}

} // namespace

ArchiveWindow::ArchiveWindow(TForm1& form) : form_(form) {}

// The engine's threads end before the window's state goes.
ArchiveWindow::~ArchiveWindow() = default;

search::archive::ArchiveEngine& ArchiveWindow::engine()
{
    if (!engine_) {
        search::archive::EngineSettings settings;
        settings.base = form_.hosts.archive;
        while (!settings.base.empty() && settings.base.back() == '/')
            settings.base.pop_back();
        const QString version = QCoreApplication::applicationVersion();
        settings.userAgent = version.isEmpty() ? "Corvale" : "Corvale/" + version.toStdString();
        engine_ = std::make_unique<search::archive::ArchiveEngine>(settings);
        engine_->setObserver(this);
    }
    return *engine_;
}

void ArchiveWindow::search(const std::string& words, int mediaType)
{
    sinceClick_.start();
    numFound_ = -1;
    failedItems_ = 0;
    rowsShown_ = 0;
    idle_ = false;
    mediaType_ = mediaType;
    stopped_ = false;
    failed_ = false;
    form_.resultlabel->setText("正在搜索互联网档案馆…");
    form_.SeSkinProgressBar6->setRange(0, 0);
    current_ = engine().startSearch(words, mediaType);
    qCDebug(searchLog, "archive search %llu started for type %d",
            static_cast<unsigned long long>(current_), mediaType);
}

void ArchiveWindow::stop()
{
    if (!engine_ || !current_)
        return;
    engine_->stopSearch();
    qCDebug(searchLog, "archive search %llu stopped: %d rows listed",
            static_cast<unsigned long long>(current_), rowsShown_);
    const bool running = !idle_;
    current_ = 0;
    idle_ = true;
    if (running) {
        stopped_ = true;
        showCaption();
    }
    form_.SeSkinProgressBar6->setRange(0, 1);
    form_.SeSkinProgressBar6->setValue(1);
}

void ArchiveWindow::scrolledToEnd()
{
    if (engine_ && current_)
        engine_->scrolledToEnd();
}

template <typename Change> void ArchiveWindow::onWindowThread(std::uint64_t search, Change change)
{
    QMetaObject::invokeMethod(
        &form_,
        [this, search, change = std::move(change)]() mutable {
            if (search == current_)
                change();
        },
        Qt::QueuedConnection);
}

void ArchiveWindow::showCaption()
{
    static const char* const typeNames[] = {"MP3", "RM", "WMA", "ASF", "RAM"};
    QString caption;
    if (numFound_ >= 0) {
        caption = " 搜索结果  " + QString::number(numFound_) + " 个条目";
        if (idle_ && !stopped_ && rowsShown_ == 0 && !rowsReceived() && numFound_ > 0 &&
            mediaType_ >= 0 && mediaType_ < 5)
            caption += QString("，没有 %1 文件").arg(typeNames[mediaType_]);
        if (failedItems_ > 0)
            caption += "，" + QString::number(failedItems_) + " 个条目的文件列表未能读取";
    }
    if (stopped_)
        caption += caption.isEmpty() ? "已停止" : "，已停止";
    form_.resultlabel->setText(caption);
}

bool ArchiveWindow::rowsReceived() const
{
    std::lock_guard lock(arrivedMutex_);
    return lastRowsSearch_ == current_ && current_ != 0;
}

void ArchiveWindow::searchAnswered(std::uint64_t search, std::int64_t numFound)
{
    onWindowThread(search, [this, numFound] {
        numFound_ = numFound;
        showCaption();
    });
}

bool ArchiveWindow::searching() const
{
    std::lock_guard lock(arrivedMutex_);
    return (current_ != 0 && !idle_) || !arrived_.empty();
}

void ArchiveWindow::rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows)
{
    std::lock_guard lock(arrivedMutex_);
    lastRowsSearch_ = search;
    for (core::SongEntry& row : rows)
        arrived_.emplace_back(search, std::move(row));
    if (listingPosted_)
        return;
    listingPosted_ = true;
    QMetaObject::invokeMethod(
        &form_, [this] { listArrivedRows(); }, Qt::QueuedConnection);
}

void ArchiveWindow::listArrivedRows()
{
    constexpr qint64 kSliceMs = 8;
    QElapsedTimer slice;
    slice.start();
    const int before = rowsShown_;
    while (true) {
        std::pair<std::uint64_t, core::SongEntry> next;
        {
            std::lock_guard lock(arrivedMutex_);
            if (arrived_.empty()) {
                listingPosted_ = false;
                break;
            }
            if (slice.elapsed() >= kSliceMs) {
                QTimer::singleShot(0, &form_, [this] { listArrivedRows(); });
                break;
            }
            next = std::move(arrived_.front());
            arrived_.pop_front();
        }
        if (next.first != current_)
            continue; // a search that was replaced or stopped
        next.second.caption = std::to_string(form_.ResultRowCount + 1);
        form_.ListView1->appendRow(next.second);
        ++form_.ResultRowCount;
        ++rowsShown_;
    }
    if ((before == 0 && rowsShown_ > 0) || (before < 200 && rowsShown_ >= 200))
        qCDebug(searchLog, "archive search %llu: %d rows listed %lld ms after the click",
                static_cast<unsigned long long>(current_), rowsShown_,
                static_cast<long long>(sinceClick_.elapsed()));
}

void ArchiveWindow::searchFailed(std::uint64_t search, search::archive::Trouble trouble,
                                 const std::string& detail)
{
    onWindowThread(search, [this, trouble, detail] {
        qCDebug(searchLog, "archive search %llu: %s", static_cast<unsigned long long>(current_),
                qUtf8Printable(troubleText(trouble, detail)));
        failed_ = true;
        form_.resultlabel->setText(troubleText(trouble, detail));
    });
}

void ArchiveWindow::itemFailed(std::uint64_t search, const std::string& identifier,
                               search::archive::Trouble trouble)
{
    onWindowThread(search, [this, identifier, trouble] {
        qCDebug(searchLog, "archive item %s: %s", identifier.c_str(),
                qUtf8Printable(troubleText(trouble, {})));
        ++failedItems_;
        if (numFound_ >= 0 && !failed_)
            showCaption(); // now it is known whether any file was of the type
    });
}

void ArchiveWindow::searchIdle(std::uint64_t search)
{
    onWindowThread(search, [this] {
        idle_ = true;
        form_.SeSkinProgressBar6->setRange(0, 1);
        form_.SeSkinProgressBar6->setValue(1);
        if (numFound_ >= 0)
            showCaption();
        qCDebug(searchLog, "archive search %llu idle: %d rows listed %lld ms after the click",
                static_cast<unsigned long long>(current_), rowsShown_,
                static_cast<long long>(sinceClick_.elapsed()));
    });
}

bool TForm1::archiveChosen() const
{
    return SeSkinComboBox2->currentIndex() == kArchiveEngine;
}

void TForm1::connectArchiveHandlers()
{
    archiveWindow_ = std::make_unique<ArchiveWindow>(*this);
    connect(SeSkinComboBox2, &QComboBox::activated, this, &TForm1::SeSkinComboBox2Change);
    connect(ListView1->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (archiveChosen() && value > 0 && value == ListView1->verticalScrollBar()->maximum())
            archiveWindow_->scrolledToEnd();
    });
    const int remembered = desktop::userSettings()->value(kEngineSetting, 0).toInt();
    if (remembered == kArchiveEngine) {
        SeSkinComboBox2->setCurrentIndex(remembered);
        SeSkinComboBox2Change();
    }
}

void TForm1::SeSkinComboBox2Change()
{
    const bool archive = archiveChosen();
    desktop::userSettings()->setValue(kEngineSetting, SeSkinComboBox2->currentIndex());
    for (const auto& [button, hint] : chartButtons(*this)) {
        button->setEnabled(!archive);
        button->setToolTip(archive ? kChartsNeedDefaultEngine : hint);
    }
    // Each engine keeps its own result caption.
    ArchiveWindow& window = *archiveWindow_;
    if (archive && !window.captionShown) {
        window.defaultEngineCaption = resultlabel->text();
        window.captionShown = true;
        resultlabel->setText("搜索结果为:");
    } else if (!archive && window.captionShown) {
        window.stop();
        window.captionShown = false;
        resultlabel->setText(window.defaultEngineCaption);
    }
}

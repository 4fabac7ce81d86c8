#pragma once
// The search panel: the engine box, the type box, the search box and 搜索 in the top bar, the
// search tool bar under them (progress, 刷, 停, the chart and album buttons, the result caption),
// and the result list. Both engines fill the list through one ResultPresenter. The top bar and
// the client area stay the main window's: the panel builds its controls into them at their
// design places.
#include "core/song_entry.h"
#include "search/service_hosts.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace search {
class ArchiveSearch;
}
namespace ui {
class SongListView;
}

namespace gui {

class BrowserSearchEngine;
class ResultPresenter;

class SearchPanel : public QObject {
    Q_OBJECT
public:
    // topBar receives the boxes and the tool bar, client the result list and the hidden
    // browsers; windowCaption is the window's caption now (the default engine writes on it).
    SearchPanel(const search::ServiceHosts& hosts, const QString& windowCaption, QWidget* topBar,
                QWidget* client, QObject* parent = nullptr);
    ~SearchPanel() override;

    // The type icons the lists show (MediaType order); the header shows the searched type's.
    void setTypeIcons(const QList<QIcon>* icons);
    // The selected index of the type box, -1 when none.
    int MediaType() const;
    // The chosen result rows in the order the list shows them, and the search box's text.
    std::vector<core::SongEntry> chosenRows() const;
    // Every row of the result list, in the order shown.
    std::vector<core::SongEntry> rows() const;
    QString words() const;

    // The engine box: the default engine or the archive engine.
    static constexpr int kArchiveEngine = 1;
    bool archiveChosen() const;
    // Chooses an engine as the user would (the choice remembered from the last run).
    void chooseEngine(int index);
    // A search runs, or rows it found still wait to be listed.
    bool searching() const;

    BrowserSearchEngine* defaultEngine() const { return defaultEngine_; }
    search::ArchiveSearch& archiveEngine() const { return *archive_; }
    ResultPresenter* presenter() const { return presenter_; }

    QComboBox* SeSkinComboBox2 = nullptr; // search engine
    QComboBox* SeSkinComboBox1 = nullptr; // MediaType
    QLineEdit* Edit1 = nullptr;           // search words
    QPushButton* Button1 = nullptr;       // 搜索
    QWidget* SeSkinToolBar1 = nullptr;
    QLabel* searchProgressLabel = nullptr; // 搜索进度
    QProgressBar* SeSkinProgressBar6 = nullptr;
    QToolButton* SeSkinSpeedButton2 = nullptr; // 刷
    QToolButton* stopbtn = nullptr;            // 停
    QToolButton* manlistbtn = nullptr;         // 男
    QToolButton* womanlistbtn = nullptr;       // 女
    QToolButton* musiclist = nullptr;          // 歌
    QToolButton* menubtn = nullptr;            // 辑
    QLabel* resultlabel = nullptr;             // 搜索结果为:
    ui::SongListView* ListView1 = nullptr;

public slots:
    void Button1Click();
    void SeSkinComboBox1Change();
    void SeSkinComboBox2Change();
    void SeSkinSpeedButton2Click();
    void stopbtnClick();
    void manlistbtnClick();
    void womanlistbtnClick();
    void musiclistClick();
    void menubtnClick();
    void ListView1SelectItem(int row, bool selected);
    void ListView1DblClick();

signals:
    // The result row a double-click makes the greeting card's song.
    void cardRowChosen(const core::SongEntry& row);
    // The default engine wrote what it learnt into the window's caption.
    void windowCaptionWritten(const QString& caption);
    // The engine box changed (the choice to remember).
    void engineChosen(int index);

private:
    void buildTopBar(QWidget* topBar);
    void buildResultList(QWidget* client);
    void connectHandlers();
    void describeControls();
    void addShortcuts();
    void chartClicked(int chart);

    const QList<QIcon>* icons_ = nullptr;
    BrowserSearchEngine* defaultEngine_ = nullptr;
    std::unique_ptr<search::ArchiveSearch> archive_;
    ResultPresenter* presenter_ = nullptr;
    // Each engine has its own result caption: while the archive's shows, the default engine's
    // is its rules' (GB18030) and comes back with it.
    bool archiveCaptionShown_ = false;
};

} // namespace gui

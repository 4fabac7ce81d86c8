#pragma once
#include "browser/browser_control.h"
#include "browser/player_standin.h"

#include <QPointer>
#include <QUrl>
#include <memory>
#include <optional>

class QWebEnginePage;
class QWebEngineView;
class QWidget;

namespace browser {

// The browser control over Qt WebEngine. A hidden instance is a page without a view; a shown
// instance is a view placed in the window. Page scripts never run (main world off); the
// document is read, and anything the program adds to a page runs, in the isolated world.
class WebEngineBrowser : public BrowserControl {
    Q_OBJECT
public:
    enum class Kind { Hidden, Shown };
    WebEngineBrowser(Kind kind, QWidget* parentWidget, QObject* parent = nullptr);
    ~WebEngineBrowser() override;

    void Navigate(const QString& address) override;
    void Stop() override;
    void setBrowserVisible(bool visible) override;
    bool browserVisible() const override { return visible_; }
    const Document* document() const override;
    bool ExecSaveAs(const SavePathChooser& choosePath) override;
    QWidget* view() const override;
    QString address() const override { return address_; }
    void givePlayerList(const QString& listPath, const std::vector<PlayerEntry>& entries) override;
    int httpStatus() const override { return httpStatus_; }

    QWebEnginePage* page() const { return page_; }

    // The URL a navigation address stands for: "file:///" followed by an absolute local path
    // (as the generated pages write it) is a local file URL.
    static QUrl toUrl(const QString& address);

private:
    void onLoadFinished(bool ok);
    void readDocument(quint64 generation);

    Kind kind_;
    QPointer<PlayerStandIn> standIn_; // a shown instance's, owned by its page
    QPointer<QWebEngineView> view_;   // the window may delete it first
    QWebEnginePage* page_ = nullptr;
    bool visible_ = false;
    QString address_;
    std::optional<Document> document_;
    int httpStatus_ = 0;
    quint64 generation_ = 0; // counts navigations, so a late read of an old page is dropped
};

} // namespace browser

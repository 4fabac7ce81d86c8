#include "browser/webengine_browser.h"

#include "browser/player_standin.h"
#include "core/line_file.h"

#include <QFile>
#include <QPointer>
#include <QVariant>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace browser {
namespace {

// Reads every link with a target, in document order, and the body's rendered text.
const char* const kReadDocumentScript = R"JS(
(function () {
  var links = [];
  var all = document.links;
  for (var i = 0; i < all.length; i++)
    links.push([String(all[i].href), String(all[i].innerText || '')]);
  return { links: links, body: document.body ? String(document.body.innerText) : '' };
})()
)JS";

void configure(QWebEnginePage* page)
{
    QWebEngineSettings* s = page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false); // page scripts never run
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Local pages may show local pictures; with page scripts off nothing can read files.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
}

} // namespace

WebEngineBrowser::WebEngineBrowser(Kind kind, QWidget* parentWidget, QObject* parent)
    : BrowserControl(parent), kind_(kind)
{
    if (kind == Kind::Shown) {
        view_ = new QWebEngineView(parentWidget);
        page_ = view_->page();
    } else {
        page_ = new QWebEnginePage(this);
    }
    configure(page_);
    if (kind == Kind::Shown)
        standIn_ = new PlayerStandIn(page_); // owned by the page: plays its player objects
    connect(page_, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit ProgressChange(progress, 100); });
    connect(page_, &QWebEnginePage::loadStarted, this, [this] {
        document_.reset();
        httpStatus_ = 0;
    });
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                switch (info.status()) {
                case QWebEngineLoadingInfo::LoadSucceededStatus:
                    onLoadFinished(true);
                    break;
                case QWebEngineLoadingInfo::LoadFailedStatus:
                    httpStatus_ = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                                      ? info.errorCode()
                                      : 0;
                    onLoadFinished(false);
                    break;
                default: // started, or stopped / replaced by a newer navigation
                    break;
                }
            });
}

WebEngineBrowser::~WebEngineBrowser()
{
    // A shown browser made without a parent widget owns its view (and with it the page, its
    // players and their sound); with a parent, the parent widget does.
    if (view_ && !view_->parent())
        delete view_;
}

QUrl WebEngineBrowser::toUrl(const QString& address)
{
    static const QString filePrefix = QStringLiteral("file:///");
    if (address.startsWith(filePrefix, Qt::CaseInsensitive)) {
        QString path = address.mid(filePrefix.size());
        if (!path.startsWith('/'))
            path.prepend('/');
        return QUrl::fromLocalFile(path);
    }
    return QUrl(address, QUrl::TolerantMode);
}

void WebEngineBrowser::Navigate(const QString& address)
{
    address_ = address;
    ++generation_;
    document_.reset();
    httpStatus_ = 0;
    page_->load(toUrl(address));
}

void WebEngineBrowser::givePlayerList(const QString& listPath,
                                      const std::vector<PlayerEntry>& entries)
{
    if (standIn_)
        standIn_->giveList(listPath, entries);
}

void WebEngineBrowser::Stop()
{
    page_->triggerAction(QWebEnginePage::Stop);
}

void WebEngineBrowser::setBrowserVisible(bool visible)
{
    visible_ = visible;
    if (view_)
        view_->setVisible(visible);
}

const Document* WebEngineBrowser::document() const
{
    return document_ ? &*document_ : nullptr;
}

QWidget* WebEngineBrowser::view() const
{
    return view_;
}

void WebEngineBrowser::onLoadFinished(bool ok)
{
    if (!ok) {
        document_.reset();
        emit DocumentComplete();
        return;
    }
    readDocument(generation_);
}

void WebEngineBrowser::readDocument(quint64 generation)
{
    // The page may outlive this control (its view belongs to the window): the answer is
    // dropped once the control is gone.
    QPointer<WebEngineBrowser> self(this);
    page_->runJavaScript(QString::fromUtf8(kReadDocumentScript), QWebEngineScript::ApplicationWorld,
                         [this, self, generation](const QVariant& result) {
                             if (!self || generation != generation_)
                                 return; // gone, or a newer navigation has replaced this page
                             Document doc;
                             const QVariantMap map = result.toMap();
                             for (const QVariant& entry : map.value("links").toList()) {
                                 const QVariantList pair = entry.toList();
                                 if (pair.size() == 2)
                                     doc.links.push_back({pair[0].toString(), pair[1].toString()});
                             }
                             doc.bodyText = map.value("body").toString();
                             document_ = std::move(doc);
                             emit DocumentComplete();
                         });
}

bool WebEngineBrowser::ExecSaveAs(const SavePathChooser& choosePath)
{
    if (!document_)
        return false; // nothing shown: no page to save
    const QString path = choosePath(QStringLiteral("保存网页"),
                                    QStringLiteral("网页，仅 HTML(*.htm;*.html)|*.htm;*.html|"
                                                   "Web 档案，单一文件(*.mht)|*.mht"),
                                    page_->url().fileName());
    if (path.isEmpty())
        return true;
    // The save itself runs in the background; a place that cannot be written is reported now.
    QFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        throw core::FileError("Cannot create file " + path.toStdString());
    target.close();
    // "HTML only" keeps the page's own bytes (the file on disk, not the rendered page with
    // whatever the browser layer put into it); a web archive holds the page with its pictures.
    const bool archive = path.endsWith(QStringLiteral(".mht"), Qt::CaseInsensitive) ||
                         path.endsWith(QStringLiteral(".mhtml"), Qt::CaseInsensitive);
    page_->save(path, archive ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                              : QWebEngineDownloadRequest::SingleHtmlSaveFormat);
    return true;
}

} // namespace browser

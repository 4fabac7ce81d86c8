#pragma once
// What the program needs of an embedded browser: navigate, stop, the browser object's own
// Visible property, the finished document's links and rendered text, save-as, and progress and
// completion events. The window uses only this interface.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace browser {

struct DocumentLink {
    QString href; // the link's target address
    QString text; // its rendered (inner) text
};

// A finished document as the program reads it.
struct Document {
    std::vector<DocumentLink> links; // every link with a target, in document order
    QString bodyText;                // the body's rendered text, lines separated by line breaks
};

// One thing a page's player plays.
struct PlayerEntry {
    QString url;   // absolute address handed to the playback engine
    QString title; // the list's title for it, or empty
    bool operator==(const PlayerEntry&) const = default;
};

class BrowserControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~BrowserControl() override = default;

    // Returns at once; the page loads in the background and ends in DocumentComplete.
    virtual void Navigate(const QString& address) = 0;
    virtual void Stop() = 0;
    // The browser object's own Visible property (not the widget's placement in the window).
    virtual void setBrowserVisible(bool visible) = 0;
    virtual bool browserVisible() const = 0;
    // The loaded document, or nullptr when there is none (nothing loaded, or the load failed).
    virtual const Document* document() const = 0;
    // The browser's own save-as for the shown page; false when no document is shown. The window
    // asks the user for the place: `choosePath` gets the dialog's title, its filter
    // ("description|patterns" pairs) and a proposed name, and returns the path or "" for cancel.
    using SavePathChooser = std::function<QString(const QString& title, const QString& filter,
                                                  const QString& proposedName)>;
    virtual bool ExecSaveAs(const SavePathChooser& choosePath) = 0;
    // The view of a shown instance; nullptr for an instance that is never shown.
    virtual QWidget* view() const = 0;
    // The entries that a player object of a page shown from now on plays when its source names
    // the local list file listPath, instead of what that file holds: the program hands over
    // the lists it writes for its pages. Sources the browser was not given are read as ever.
    virtual void givePlayerList(const QString& listPath, const std::vector<PlayerEntry>& entries)
    {
        (void)listPath;
        (void)entries;
    }
    // The address of the last navigation.
    virtual QString address() const = 0;
    // The HTTP status of the last load when the server answered it with an error status
    // (4xx, 5xx): document() is then nullptr. 0 for any other outcome.
    virtual int httpStatus() const { return 0; }

signals:
    void ProgressChange(int progress, int maximum);
    void DocumentComplete();
};

} // namespace browser

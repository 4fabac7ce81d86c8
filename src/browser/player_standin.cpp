#include "browser/player_standin.h"

#include "browser/player_bridge.h"
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/line_file.h"
#include "player/playback/application_player.h"
#include "player/ram_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QVariant>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include <cstdint>
#include <iconv.h>
#include <optional>
#include <string>

namespace browser {
namespace {

// The bytes that `text` was decoded from with the single-byte character set `charset`, or
// nothing when iconv does not know that set or the text holds a character it cannot encode.
std::optional<std::string> singleByteSource(const QString& text, const QString& charset)
{
    const QByteArray name = charset.toLatin1();
    iconv_t cd = iconv_open(name.constData(), "UTF-8");
    if (reinterpret_cast<std::intptr_t>(cd) == -1) // iconv_open's failure value
        return std::nullopt;
    QByteArray utf8 = text.toUtf8();
    std::string out(static_cast<size_t>(utf8.size()), '\0');
    char* in = utf8.data();
    size_t inLeft = static_cast<size_t>(utf8.size());
    char* to = out.data();
    size_t toLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - toLeft);
    // Single bytes only: one byte per character, or it was not a single-byte set.
    if (out.size() != static_cast<size_t>(text.size()))
        return std::nullopt;
    return out;
}

// Larger files are not read as lists: they are media files themselves.
constexpr qint64 kMaxListBytes = 1 << 20;

const QSet<QString>& realListExtensions()
{
    static const QSet<QString> set{"rpm", "ram", "rmm"};
    return set;
}

const QSet<QString>& asxListExtensions()
{
    static const QSet<QString> set{"asx", "wax", "wvx", "wmx"};
    return set;
}

const QSet<QString>& mediaExtensions()
{
    static const QSet<QString> set{"mp3", "mp2",  "wav",  "ogg",  "oga", "opus", "m4a",
                                   "aac", "flac", "webm", "wma",  "asf", "wmv",  "rm",
                                   "ra",  "rmvb", "mid",  "midi", "mp4", "au",   "snd"};
    return set;
}

QString fromGbk(const std::string& bytes)
{
    const std::u16string wide = core::gbkToUtf16(bytes);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

// An address as a list or a page writes it, made absolute: "file:///" + a local path is a
// file URL, an absolute local path is one too, anything relative is taken from base.
QUrl absoluteAddress(const QString& address, const QUrl& base)
{
    QUrl url =
        address.startsWith('/') ? QUrl::fromLocalFile(address) : WebEngineBrowser::toUrl(address);
    if (url.isRelative() && base.isValid())
        url = base.resolved(url);
    return url;
}

PlayerEntry entryFor(const QString& address, const QString& title, const QUrl& base)
{
    return {absoluteAddress(address, base).toString(QUrl::FullyEncoded), title};
}

// The key of a list path in the lists handed over.
QString listKey(const QString& path)
{
    return QDir::cleanPath(path);
}

QString decodeAmpersands(QString text)
{
    // "&amp;" last, so "&amp;lt;" stays "&lt;".
    return text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

std::vector<PlayerEntry> refsIn(const QString& text, const QString& title, const QUrl& base)
{
    static const QRegularExpression ref(
        R"re(<ref\s[^>]*?href\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+)))re",
        QRegularExpression::CaseInsensitiveOption);
    std::vector<PlayerEntry> entries;
    auto it = ref.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString href = m.captured(1);
        if (m.capturedStart(1) < 0)
            href = m.capturedStart(2) >= 0 ? m.captured(2) : m.captured(3);
        href = decodeAmpersands(href.trimmed());
        if (!href.isEmpty())
            entries.push_back(entryFor(href, title, base));
    }
    return entries;
}

bool looksLikeText(const std::string& bytes)
{
    const size_t n = std::min<size_t>(bytes.size(), 4096);
    for (size_t i = 0; i < n; ++i)
        if (bytes[i] == '\0')
            return false;
    return true;
}

QString withoutTrailingBlanks(QString path)
{
    while (path.endsWith(' ') || path.endsWith('.'))
        path.chop(1);
    return path;
}

} // namespace

QString asGbkPageText(const QString& decoded, const QString& charset)
{
    const QString name = charset.toLower();
    if (name != "windows-1252" && name != "iso-8859-1" && name != "us-ascii") {
        // Without a declared set the browser may also guess another single-byte set
        // (windows-1250, ISO-8859-2, ...) from the bytes; multi-byte sets decoded them rightly.
        if (name.isEmpty() || name.startsWith("utf") || name.startsWith("gb") || name == "big5" ||
            name.contains("jis") || name.contains("euc") || name.contains("kr"))
            return decoded;
        const std::optional<std::string> bytes = singleByteSource(decoded, name);
        return bytes ? fromGbk(*bytes) : decoded;
    }
    // The bytes behind the text: windows-1252 as browsers decode it, where the five codes it
    // leaves undefined stand for themselves.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string bytes;
    bytes.reserve(static_cast<size_t>(decoded.size()));
    for (const QChar c : decoded) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes += static_cast<char>(u);
            continue;
        }
        int code = -1;
        for (int i = 0; i < 32; ++i)
            if (high[i] == u)
                code = 0x80 + i;
        if (code < 0)
            return decoded; // not text that came from single bytes
        bytes += static_cast<char>(code);
    }
    return fromGbk(bytes);
}

std::vector<PlayerEntry> parseRealList(const QString& text, const QUrl& base)
{
    // The lines are read as every Real list is; the addresses are made absolute here, where
    // "/path" and "file:///path" name local files.
    std::vector<PlayerEntry> entries;
    for (const std::string& line : player::parseRamText(text.toStdString()))
        entries.push_back(entryFor(QString::fromStdString(line), {}, base));
    return entries;
}

std::vector<PlayerEntry> parseAsxList(const QString& text, const QUrl& base)
{
    static const QRegularExpression entryBlock(R"(<entry\b[^>]*>(.*?)</entry\s*>)",
                                               QRegularExpression::CaseInsensitiveOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression titleTag(R"(<title\b[^>]*>(.*?)</title\s*>)",
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
    std::vector<PlayerEntry> entries;
    bool anyEntry = false;
    auto it = entryBlock.globalMatch(text);
    while (it.hasNext()) {
        anyEntry = true;
        const QString block = it.next().captured(1);
        const QString title = decodeAmpersands(titleTag.match(block).captured(1).trimmed());
        for (PlayerEntry& e : refsIn(block, title, base))
            entries.push_back(std::move(e));
    }
    if (!anyEntry)
        entries = refsIn(text, {}, base);
    return entries;
}

PlayerEntry playerEntry(const QString& address, const QString& title, const QUrl& base)
{
    return entryFor(address, title, base);
}

PlayerSource resolvePlayerSource(const QString& source, const QUrl& pageUrl,
                                 const PlayerLists& given)
{
    PlayerSource out;
    if (source.trimmed().isEmpty()) {
        out.error = QStringLiteral("没有指定要播放的内容");
        return out;
    }
    const QUrl url = absoluteAddress(source, pageUrl);
    if (!url.isLocalFile()) {
        out.entries.push_back({url.toString(QUrl::FullyEncoded), {}});
        return out;
    }
    QString path = url.toLocalFile();
    for (const QString& named : {path, withoutTrailingBlanks(path)})
        if (const auto list = given.constFind(listKey(named)); list != given.constEnd()) {
            out.entries = *list;
            if (out.entries.empty())
                out.error = QStringLiteral("播放列表中没有歌曲");
            return out;
        }
    if (!QFileInfo(path).isFile()) {
        const QString trimmed = withoutTrailingBlanks(path);
        if (trimmed == path || !QFileInfo(trimmed).isFile()) {
            out.error = QStringLiteral("找不到文件：") + path;
            return out;
        }
        path = trimmed;
    }
    const QFileInfo info(path);
    const QString ext = info.suffix().toLower();
    const QUrl fileUrl = QUrl::fromLocalFile(path);
    const bool namedList = realListExtensions().contains(ext) || asxListExtensions().contains(ext);
    if (mediaExtensions().contains(ext) || (!namedList && info.size() > kMaxListBytes)) {
        out.entries.push_back({fileUrl.toString(QUrl::FullyEncoded), {}});
        return out;
    }
    std::string bytes;
    try {
        const QByteArray utf8 = path.toUtf8();
        bytes = core::readFileBytes(
            std::filesystem::path(std::string(utf8.constData(), static_cast<size_t>(utf8.size()))));
    } catch (const core::FileError&) {
        out.error = QStringLiteral("无法打开文件：") + path;
        return out;
    }
    if (!namedList && !looksLikeText(bytes)) {
        out.entries.push_back({fileUrl.toString(QUrl::FullyEncoded), {}});
        return out;
    }
    if (bytes.size() > static_cast<size_t>(kMaxListBytes))
        bytes.resize(static_cast<size_t>(kMaxListBytes));
    const QString text = fromGbk(bytes); // list files are in the system code page
    const bool asx = asxListExtensions().contains(ext) ||
                     (!realListExtensions().contains(ext) &&
                      text.contains(QStringLiteral("<asx"), Qt::CaseInsensitive));
    out.entries = asx ? parseAsxList(text, fileUrl) : parseRealList(text, fileUrl);
    if (out.entries.empty())
        out.error = QStringLiteral("播放列表中没有歌曲");
    return out;
}

namespace {

// The web channel's client, defined in the isolated world before the players connect.
QString webChannelClientScript()
{
    static const QString script = [] {
        QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return script;
}

} // namespace

PlayerStandIn::PlayerStandIn(QWebEnginePage* page)
    : QObject(page), page_(page), channel_(new QWebChannel(this)),
      bridge_(new PlayerBridge(playback::ApplicationPlayer::instance(), this))
{
    // The channel reaches the isolated world only: page scripts (off anyway) never see it.
    channel_->registerObject(QStringLiteral("corvalePlayers"), bridge_);
    page->setWebChannel(channel_, QWebEngineScript::ApplicationWorld);
    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        ++generation_;
        endPlayers();
    });
    connect(page, &QWebEnginePage::loadFinished, this, &PlayerStandIn::onLoadFinished);
}

void PlayerStandIn::giveList(const QString& listPath, const std::vector<PlayerEntry>& entries)
{
    given_.insert(listKey(listPath), entries);
}

void PlayerStandIn::endPlayers()
{
    bridge_->detachAll(); // what one of them plays stops
    playerCount_ = 0;
}

void PlayerStandIn::onLoadFinished(bool ok)
{
    if (!ok)
        return;
    const quint64 generation = generation_;
    QPointer<PlayerStandIn> self(this);
    page_->runJavaScript(QString::fromUtf8(playerStandInScript()) + QStringLiteral("(null)"),
                         QWebEngineScript::ApplicationWorld,
                         [self, generation](const QVariant& found) {
                             if (self && generation == self->generation_)
                                 self->install(generation, found);
                         });
}

void PlayerStandIn::install(quint64 generation, const QVariant& found)
{
    const QVariantList objects = found.toList();
    if (objects.isEmpty()) {
        emit playersInstalled(0);
        return;
    }
    endPlayers();
    QJsonArray players;
    QString autostarting; // the first player that starts on its own; the program plays one list
    for (const QVariant& value : objects) {
        const QVariantMap object = value.toMap();
        const PlayerSource source = resolvePlayerSource(
            asGbkPageText(object.value("source").toString(), object.value("charset").toString()),
            page_->url(), given_);
        std::vector<playback::PlaybackEngine::Entry> entries;
        for (const PlayerEntry& e : source.entries)
            entries.push_back({e.url, e.title, {}});
        const QString name = QStringLiteral("%1.%2").arg(generation).arg(playerCount_++);
        bridge_->attach(name, std::move(entries), source.error);
        const QString autostart = object.value("autostart").toString().trimmed().toLower();
        if (autostarting.isEmpty() && autostart != "0" && autostart != "false")
            autostarting = name;
        players.append(QJsonObject{{"kind", object.value("kind").toString()}, {"channel", name}});
    }
    const QString data = QString::fromUtf8(
        QJsonDocument(QJsonObject{{"players", players}}).toJson(QJsonDocument::Compact));
    QPointer<PlayerStandIn> self(this);
    page_->runJavaScript(webChannelClientScript() + QStringLiteral(";\n") +
                             QString::fromUtf8(playerStandInScript()) + '(' + data + ')',
                         QWebEngineScript::ApplicationWorld,
                         [self, generation](const QVariant& count) {
                             if (!self || generation != self->generation_)
                                 return;
                             emit self->playersInstalled(count.toInt());
                         });
    if (!autostarting.isEmpty())
        bridge_->control(autostarting, QStringLiteral("play"));
}

} // namespace browser

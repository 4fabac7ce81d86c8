#include "card/card_page.h"

#include "core/gbk.h"
#include "core/text_ops.h"
#include "player/player_objects.h"

namespace card {

bool usesRealPlayer(std::string_view typeText)
{
    const std::string upper = core::upperAscii(typeText);
    return upper == "RM" || upper == "RAM";
}

std::string fallbackPlayerLine(std::string_view typeText, std::string_view address)
{
    if (core::upperAscii(typeText) == "MP3")
        return "<audio src=\"" + std::string(address) + "\" controls autoplay loop></audio>";
    static const std::string listen = core::utf8ToGbk("点击收听");
    return "<a href=\"" + std::string(address) + "\">" + listen + "</a>";
}

namespace {

void appendHead(std::vector<std::string>& lines, const CardPageInput& in)
{
    lines.push_back("<HTML>");
    lines.push_back("<body background=\"file:///" + in.picture + "\"> ");
    lines.push_back("");
    lines.push_back("<h2>" + core::utf16ToGbkOnly(in.title) + "</h2>");
}

void appendRealPlayer(std::vector<std::string>& lines, const CardPageInput& in)
{
    std::vector<std::string> object = player::realPlayerObject(300, in.address, true);
    object[object.size() - 2] = fallbackPlayerLine(in.typeText, in.address); // before </OBJECT>
    for (std::string& line : object)
        lines.push_back(std::move(line));
    lines.push_back("<br>");
}

void appendMediaPlayer(std::vector<std::string>& lines, const CardPageInput& in)
{
    lines.push_back("");
    for (std::string& line :
         player::mediaPlayerObjectHead(300, 50, in.address, in.playerDownloadHost))
        lines.push_back(std::move(line));
    lines.push_back(fallbackPlayerLine(in.typeText, in.address));
    lines.push_back("</OBJECT>");
    lines.push_back("<br>");
}

} // namespace

std::vector<std::string> cardPageLines(const CardPageInput& in)
{
    const bool real = usesRealPlayer(in.typeText);
    std::vector<std::string> lines;
    lines.reserve(30 + in.textLines.size());
    appendHead(lines, in);
    if (real)
        appendRealPlayer(lines, in);
    else
        appendMediaPlayer(lines, in);

    size_t count = in.textLines.size();
    if (count > 0 && in.textLines.back().empty())
        --count; // the box's empty last line is not a line of the card
    for (size_t i = 0; i < count; ++i)
        lines.push_back(real ? "<br>" + in.textLines[i] : in.textLines[i]);

    lines.push_back("</body>");
    lines.push_back("</html>");
    return lines;
}

} // namespace card

#include "card/card_page.h"

#include "core/gbk.h"
#include "core/text_ops.h"

namespace card {

bool usesRealPlayer(std::string_view typeText)
{
    const std::string upper = core::upperAscii(typeText);
    return upper == "RM" || upper == "RAM";
}

namespace {

void appendHead(std::vector<std::string>& lines, const CardPageInput& in)
{
    lines.push_back("<HTML>");
    lines.push_back("<body background=\"file:///" + in.picture + "\"> ");
    lines.push_back("");
    lines.push_back("<h2>" + core::utf16ToGbk(in.title) + "</h2>");
}

void appendRealPlayer(std::vector<std::string>& lines, const CardPageInput& in)
{
    lines.push_back("<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" "
                    "HEIGHT=\"50\" WIDTH=\"300\">");
    lines.push_back("");
    lines.push_back("<param name=\"_ExtentX\" value=\"6350\">");
    lines.push_back("<param name=\"_ExtentY\" value=\"2646\">");
    lines.push_back("<param name=\"AUTOSTART\" value=\"-1\">");
    lines.push_back("<param name=\"SHUFFLE\" value=\"0\">");
    lines.push_back("<param name=\"PREFETCH\" value=\"0\">");
    lines.push_back("<param name=\"NOLABELS\" value=\"0\">");
    lines.push_back("<param name=\"SRC\" value=\"" + in.address + "\">");
    lines.push_back("<param name=\"CONTROLS\" value=\"ConrolPane\">");
    lines.push_back("<param name=\"CONSOLE\" value=\"one\">");
    lines.push_back("<param name=\"LOOP\" value=\"0\">");
    lines.push_back("<param name=\"NUMLOOP\" value=\"0\">");
    lines.push_back("<param name=\"CENTER\" value=\"1\">");
    lines.push_back("<param name=\"MAINTAINASPECT\" value=\"0\">");
    lines.push_back("<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">");
    lines.push_back("");
    lines.push_back("</OBJECT>");
    lines.push_back("<br>");
}

void appendMediaPlayer(std::vector<std::string>& lines, const CardPageInput& in)
{
    lines.push_back("");
    lines.push_back("<OBJECT ID=\"WMPlay\" WIDTH=300 HEIGHT=50");
    lines.push_back("CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"");
    lines.push_back("CODEBASE=\"http://" + in.playerDownloadHost + "/activex/controls/mplayer/en/");
    lines.push_back("nsmp2inf.cab#Version=6,4,5,715\"");
    lines.push_back("STANDBY=\"Loading Microsoft? Windows Media? Player components...\"");
    lines.push_back("TYPE=\"application/x-oleobject\">");
    lines.push_back("<PARAM NAME=\"fileName\" VALUE=\"" + in.address + "\">");
    lines.push_back("");
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

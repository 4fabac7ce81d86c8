#include "player/player_pages.h"

namespace player {

std::vector<std::string> realPageLines(std::string_view listPath)
{
    return {
        "<HTML>",
        "<body>",
        "",
        "",
        "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" HEIGHT=\"50\" "
        "WIDTH=\"500\">",
        "",
        "<param name=\"_ExtentX\" value=\"6350\">",
        "<param name=\"_ExtentY\" value=\"2646\">",
        "<param name=\"AUTOSTART\" value=\"-1\">",
        "<param name=\"SHUFFLE\" value=\"0\">",
        "<param name=\"PREFETCH\" value=\"0\">",
        "<param name=\"NOLABELS\" value=\"0\">",
        "<param name=\"SRC\" value=\"file:///" + std::string(listPath) + "\">",
        "<param name=\"CONTROLS\" value=\"ConrolPane\">",
        "<param name=\"CONSOLE\" value=\"one\">",
        "<param name=\"LOOP\" value=\"0\">",
        "<param name=\"NUMLOOP\" value=\"0\">",
        "<param name=\"CENTER\" value=\"0\">",
        "<param name=\"MAINTAINASPECT\" value=\"0\">",
        "<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">",
        "",
        "</OBJECT>",
        "</body>",
        "</html>",
    };
}

std::vector<std::string> mediaPageLines(std::string_view listPath, int objectHeight,
                                        std::string_view playerDownloadHost)
{
    return {
        "<HTML>",
        "<body>",
        "",
        "",
        "",
        "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=" + std::to_string(objectHeight),
        "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"",
        "CODEBASE=\"http://" + std::string(playerDownloadHost) + "/activex/controls/mplayer/en/",
        "nsmp2inf.cab#Version=6,4,5,715\"",
        "STANDBY=\"Loading Microsoft? Windows Media? Player components...\"",
        "TYPE=\"application/x-oleobject\">",
        "<PARAM NAME=\"fileName\" VALUE=\"file:///" + std::string(listPath) + "\">",
        "<param name=\"ShowStatusBar\" value=\"1\">",
        "</OBJECT>",
        "</body>",
        "</html>",
    };
}

} // namespace player

#include "player/player_objects.h"

namespace player {

std::vector<std::string> realPlayerObject(int width, std::string_view source, bool centred)
{
    return {
        "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" HEIGHT=\"50\" "
        "WIDTH=\"" +
            std::to_string(width) + "\">",
        "",
        "<param name=\"_ExtentX\" value=\"6350\">",
        "<param name=\"_ExtentY\" value=\"2646\">",
        "<param name=\"AUTOSTART\" value=\"-1\">",
        "<param name=\"SHUFFLE\" value=\"0\">",
        "<param name=\"PREFETCH\" value=\"0\">",
        "<param name=\"NOLABELS\" value=\"0\">",
        "<param name=\"SRC\" value=\"" + std::string(source) + "\">",
        "<param name=\"CONTROLS\" value=\"ConrolPane\">",
        "<param name=\"CONSOLE\" value=\"one\">",
        "<param name=\"LOOP\" value=\"0\">",
        "<param name=\"NUMLOOP\" value=\"0\">",
        std::string("<param name=\"CENTER\" value=\"") + (centred ? "1" : "0") + "\">",
        "<param name=\"MAINTAINASPECT\" value=\"0\">",
        "<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">",
        "",
        "</OBJECT>",
    };
}

std::vector<std::string> mediaPlayerObjectHead(int width, int height, std::string_view source,
                                               std::string_view playerDownloadHost)
{
    return {
        "<OBJECT ID=\"WMPlay\" WIDTH=" + std::to_string(width) +
            " HEIGHT=" + std::to_string(height),
        "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"",
        "CODEBASE=\"http://" + std::string(playerDownloadHost) + "/activex/controls/mplayer/en/",
        "nsmp2inf.cab#Version=6,4,5,715\"",
        "STANDBY=\"Loading Microsoft? Windows Media? Player components...\"",
        "TYPE=\"application/x-oleobject\">",
        "<PARAM NAME=\"fileName\" VALUE=\"" + std::string(source) + "\">",
    };
}

} // namespace player

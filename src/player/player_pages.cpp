#include "player/player_pages.h"

#include "player/player_objects.h"

namespace player {

std::vector<std::string> realPageLines(std::string_view listPath)
{
    std::vector<std::string> lines{"<HTML>", "<body>", "", ""};
    for (std::string& line : realPlayerObject(500, "file:///" + std::string(listPath), false))
        lines.push_back(std::move(line));
    lines.push_back("</body>");
    lines.push_back("</html>");
    return lines;
}

std::vector<std::string> mediaPageLines(std::string_view listPath, int objectHeight,
                                        std::string_view playerDownloadHost)
{
    std::vector<std::string> lines{"<HTML>", "<body>", "", "", ""};
    for (std::string& line : mediaPlayerObjectHead(
             500, objectHeight, "file:///" + std::string(listPath), playerDownloadHost))
        lines.push_back(std::move(line));
    lines.push_back("<param name=\"ShowStatusBar\" value=\"1\">");
    lines.push_back("</OBJECT>");
    lines.push_back("</body>");
    lines.push_back("</html>");
    return lines;
}

} // namespace player

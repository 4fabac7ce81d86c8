#include "core/line_file.h"
#include "player/player_pages.h"

#include <gtest/gtest.h>

namespace {

TEST(PlayerPages, RealPageIsTheFixedTwentyFourLines)
{
    const auto lines = player::realPageLines("/opt/corvale/1.rpm");
    EXPECT_EQ(lines.size(), 24u);
    EXPECT_EQ(core::joinLinesCrLf(lines),
              "<HTML>\r\n"
              "<body>\r\n"
              "\r\n"
              "\r\n"
              "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" "
              "HEIGHT=\"50\" WIDTH=\"500\">\r\n"
              "\r\n"
              "<param name=\"_ExtentX\" value=\"6350\">\r\n"
              "<param name=\"_ExtentY\" value=\"2646\">\r\n"
              "<param name=\"AUTOSTART\" value=\"-1\">\r\n"
              "<param name=\"SHUFFLE\" value=\"0\">\r\n"
              "<param name=\"PREFETCH\" value=\"0\">\r\n"
              "<param name=\"NOLABELS\" value=\"0\">\r\n"
              "<param name=\"SRC\" value=\"file:////opt/corvale/1.rpm\">\r\n"
              "<param name=\"CONTROLS\" value=\"ConrolPane\">\r\n"
              "<param name=\"CONSOLE\" value=\"one\">\r\n"
              "<param name=\"LOOP\" value=\"0\">\r\n"
              "<param name=\"NUMLOOP\" value=\"0\">\r\n"
              "<param name=\"CENTER\" value=\"0\">\r\n"
              "<param name=\"MAINTAINASPECT\" value=\"0\">\r\n"
              "<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">\r\n"
              "\r\n"
              "</OBJECT>\r\n"
              "</body>\r\n"
              "</html>\r\n");
}

TEST(PlayerPages, WindowsMediaPageIsTheFixedSixteenLines)
{
    const auto lines =
        player::mediaPageLines("/opt/corvale/winmedia.asx ", 68, "activex.microsoft.com");
    EXPECT_EQ(lines.size(), 16u);
    EXPECT_EQ(core::joinLinesCrLf(lines),
              "<HTML>\r\n"
              "<body>\r\n"
              "\r\n"
              "\r\n"
              "\r\n"
              "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=68\r\n"
              "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"\r\n"
              "CODEBASE=\"http://activex.microsoft.com/activex/controls/mplayer/en/\r\n"
              "nsmp2inf.cab#Version=6,4,5,715\"\r\n"
              "STANDBY=\"Loading Microsoft? Windows Media? Player components...\"\r\n"
              "TYPE=\"application/x-oleobject\">\r\n"
              "<PARAM NAME=\"fileName\" VALUE=\"file:////opt/corvale/winmedia.asx \">\r\n"
              "<param name=\"ShowStatusBar\" value=\"1\">\r\n"
              "</OBJECT>\r\n"
              "</body>\r\n"
              "</html>\r\n");
}

TEST(PlayerPages, PathsAndHostGoInUnchanged)
{
    const std::string gbkPath = "/d/\xB8\xE8 & \"x\".asx"; // GBK "歌" in the path
    const auto media = player::mediaPageLines(gbkPath, 65, "dl.example:8080");
    EXPECT_EQ(media[5], "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=65");
    EXPECT_EQ(media[7], "CODEBASE=\"http://dl.example:8080/activex/controls/mplayer/en/");
    EXPECT_EQ(media[11], "<PARAM NAME=\"fileName\" VALUE=\"file:///" + gbkPath + "\">");
    EXPECT_EQ(player::realPageLines(gbkPath)[12],
              "<param name=\"SRC\" value=\"file:///" + gbkPath + "\">");
}

} // namespace

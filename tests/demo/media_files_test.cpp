// The demo service's media files, fetched over HTTP as the program fetches them: each type
// listed in a result page of its own type, with the size the page shows, decodable to at least
// ten seconds of audible music, the same bytes on every request, and byte ranges answered with
// the right slice. A .ram lists .rm addresses on the request's host that are served and decode.
#include "decoded_audio.h"
#include "e2e/demo_service_fixture.h"
#include "media.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

struct Listed {
    std::string fileName;
    std::string sizeAndType; // e.g. "0.21Mwma"
};

// The result rows of a page: media file name and the size-and-type cell after it. The page is
// GBK; the rows' file names and sizes are ASCII.
std::vector<Listed> listedRows(const std::string& page)
{
    static const std::regex row(R"re(/media/([^"]+)">[^<]*</a></td><td>([^<]+)</td>)re");
    std::vector<Listed> rows;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), row);
         it != std::sregex_iterator(); ++it)
        rows.push_back({(*it)[1], (*it)[2]});
    return rows;
}

struct Expected {
    const char* type;
    const char* format; // FFmpeg's demuxer name
    const char* codec;  // FFmpeg's decoder name
};

void expectRangesAnswered(httplib::Client& client, const std::string& path,
                          const std::string& whole)
{
    const size_t from = whole.size() / 3;
    const size_t length = std::min<size_t>(1000, whole.size() - from);
    const std::string range = std::to_string(from) + "-" + std::to_string(from + length - 1);
    auto res = client.Get(path, {{"Range", "bytes=" + range}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 206);
    EXPECT_EQ(res->get_header_value("Content-Range"),
              "bytes " + range + "/" + std::to_string(whole.size()));
    EXPECT_TRUE(res->body == whole.substr(from, length)) << path;
    // An open-ended range runs to the end.
    auto tail = client.Get(path, {{"Range", "bytes=" + std::to_string(whole.size() - 7) + "-"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->status, 206);
    EXPECT_TRUE(tail->body == whole.substr(whole.size() - 7)) << path;
}

void expectPlayableSong(const std::string& body, const Expected& expected,
                        const std::string& fileName)
{
    const demo_test::DecodedAudio audio = demo_test::decodeAudio(body);
    EXPECT_EQ(audio.error, "") << fileName;
    EXPECT_EQ(audio.formatName.find(expected.format), 0u) << fileName << ": " << audio.formatName;
    EXPECT_EQ(audio.codecName, expected.codec) << fileName;
    EXPECT_EQ(audio.decodeErrors, 0) << fileName;
    EXPECT_GE(audio.seconds, 10.0) << fileName;
    // A player shows its position from the timestamps and the length from the header.
    EXPECT_NEAR(audio.packetEnd, audio.seconds, 0.5) << fileName;
    EXPECT_NEAR(audio.duration, audio.seconds, 0.5) << fileName;
    EXPECT_GT(audio.peak, 0.05) << fileName << " decodes to silence";
}

} // namespace

TEST(DemoMediaFiles, EveryTypeIsListedWithItsSizeDecodesAndAnswersRanges)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    httplib::Client client("127.0.0.1", service.port());
    client.set_read_timeout(60, 0); // a type's first page encodes its songs: slow on a busy machine
    const Expected types[] = {{"mp3", "mp3", "mp3float"},
                              {"rm", "rm", "real_144"},
                              {"wma", "asf", "wmav2"},
                              {"asf", "asf", "wmav1"},
                              {"ram", "", ""}};
    for (int lm = 0; lm < 5; ++lm) {
        SCOPED_TRACE(types[lm].type);
        // Words of the catalogue: 陈奕迅 in GBK.
        auto page = client.Get("/m?tn=baidump3&ct=134217728&word=%B3%C2%DE%C8%D1%B8&lm=" +
                               std::to_string(lm));
        ASSERT_TRUE(page);
        const std::vector<Listed> rows = listedRows(page->body);
        ASSERT_GE(rows.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            const std::string path = "/media/" + rows[i].fileName;
            auto res = client.Get(path);
            ASSERT_TRUE(res);
            ASSERT_EQ(res->status, 200) << path;
            const std::string& body = res->body;
            EXPECT_EQ(rows[i].sizeAndType, demo::sizeText(body.size()) + types[lm].type) << path;
            auto again = client.Get(path);
            ASSERT_TRUE(again);
            EXPECT_TRUE(again->body == body) << path << " changed between requests";
            expectRangesAnswered(client, path, body);

            if (lm != 4) {
                expectPlayableSong(body, types[lm], rows[i].fileName);
                continue;
            }
            // A pointer file: its lines are .rm addresses on this host, each a song.
            std::istringstream lines(body);
            int entries = 0;
            for (std::string line; std::getline(lines, line);) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                const std::string prefix = "http://" + service.host() + "/media/";
                ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
                ASSERT_EQ(line.substr(line.size() - 3), ".rm") << line;
                auto song = client.Get(line.substr(prefix.size() - 7));
                ASSERT_TRUE(song);
                ASSERT_EQ(song->status, 200) << line;
                expectPlayableSong(song->body, types[1], line);
                ++entries;
            }
            EXPECT_GE(entries, 1) << path;
        }
    }
}

TEST(DemoMediaFiles, PointerFilesNameTheHostTheRequestCameTo)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    httplib::Client client("127.0.0.1", service.port());
    auto res = client.Get("/media/song_9.ram", {{"Host", "music.example:8080"}});
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    EXPECT_EQ(res->body.rfind("http://music.example:8080/media/song_9.rm\r\n", 0), 0u) << res->body;
    EXPECT_EQ(res->get_header_value("Content-Type"), "audio/x-pn-realaudio");
    auto missing = client.Get("/media/song_9.ogg");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

#include "catalogue.h"

#include <algorithm>
#include <cctype>

namespace demo {

uint64_t hash64(const std::string& text)
{
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

const std::vector<Singer>& singers()
{
    // Large counts fill all sixteen result pages (the last one asks for offset 480); small ones
    // end after one or two.
    static const std::vector<Singer> list = {
        {"刘德华",
         "liudehua",
         false,
         560,
         {"忘情水", "冰雨", "中国人", "今天", "男人哭吧不是罪", "练习", "来生缘", "谢谢你的爱"}},
        {"张学友",
         "zhangxueyou",
         false,
         540,
         {"吻别", "一千个伤心的理由", "饿狼传说", "祝福", "每天爱你多一些", "只想一生跟你走"}},
        {"周杰伦",
         "zhoujielun",
         false,
         520,
         {"七里香", "晴天", "双截棍", "简单爱", "东风破", "龙卷风", "以父之名"}},
        {"陈奕迅", "chenyixun", false, 90, {"十年", "浮夸", "富士山下", "好久不见"}},
        {"黎明", "liming", false, 45, {"那有一天不想你", "情深深雨蒙蒙", "全日爱"}},
        {"Beyond", "beyond", false, 120, {"海阔天空", "光辉岁月", "真的爱你", "喜欢你"}},
        {"Michael Jackson",
         "michaeljackson",
         false,
         515,
         {"Billie Jean", "Beat It", "Thriller", "Black or White", "Heal the World"}},
        {"王菲",
         "wangfei",
         true,
         530,
         {"红豆", "传奇", "容易受伤的女人", "人间", "我愿意", "执迷不悔"}},
        {"那英", "naying", true, 12, {"征服", "白天不懂夜的黑", "默"}},
        {"孙燕姿", "sunyanzi", true, 75, {"遇见", "天黑黑", "绿光", "开始懂了"}},
        {"梁静茹", "liangjingru", true, 40, {"勇气", "宁夏", "分手快乐"}},
        {"莫文蔚", "mowenwei", true, 33, {"阴天", "他不爱我", "盛夏的果实"}},
        {"Celine Dion",
         "celinedion",
         true,
         510,
         {"My Heart Will Go On", "The Power of Love", "Because You Loved Me", "Falling into You"}},
        {"Madonna", "madonna", true, 64, {"Like a Prayer", "Frozen", "Vogue", "La Isla Bonita"}},
    };
    return list;
}

std::vector<ChartSong> songChart()
{
    std::vector<ChartSong> chart;
    for (const Singer& s : singers())
        for (size_t i = 0; i < s.titles.size() && i < 2; ++i)
            chart.push_back({s.titles[i], &s});
    return chart;
}

namespace {

bool isLatin(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; });
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool containsFolded(const std::string& text, const std::string& part)
{
    return lower(text).find(lower(part)) != std::string::npos;
}

int resultType(int lm, size_t index)
{
    return lm >= 0 && lm <= 4 ? lm : static_cast<int>(index % 5);
}

// A title for the index-th result among n titles; after the first round each carries its take
// number, closed by a bracket, so that no name is the start of another on the same page.
std::string takeTitle(const std::vector<std::string>& titles, size_t index, bool latin)
{
    const std::string& base = titles[index % titles.size()];
    const size_t round = index / titles.size();
    if (round == 0)
        return base;
    return base + (latin ? " (Take " : " (版本") + std::to_string(round + 1) + ")";
}

std::string fileName(const std::string& stem, size_t index, int type)
{
    return stem + "_" + std::to_string(index + 1) + "." + kTypes[type];
}

} // namespace

Found search(const std::string& words, int lm)
{
    Found found;
    for (const Singer& s : singers()) {
        if (!containsFolded(words, s.name))
            continue;
        const bool latin = isLatin(s.name);
        for (int i = 0; i < s.results; ++i) {
            const int type = resultType(lm, static_cast<size_t>(i));
            found.results.push_back(
                {s.name + " - " + takeTitle(s.titles, static_cast<size_t>(i), latin),
                 fileName(s.slug, static_cast<size_t>(i), type), type});
        }
        found.albums = {s.name + (latin ? " Greatest Hits" : " 精选集"),
                        s.name + (latin ? " Live" : " 演唱会"), s.name + " " + s.titles.front()};
        return found;
    }
    for (const Singer& s : singers()) {
        for (const std::string& title : s.titles) {
            if (words != title && !(isLatin(title) && lower(words) == lower(title)))
                continue;
            const std::string stem = s.slug + "_song" + std::to_string(hash64(title) % 1000);
            for (size_t i = 0; i < 40; ++i) {
                const int type = resultType(lm, i);
                std::string name = i == 0 ? s.name + " - " + title
                                          : (isLatin(title) ? "Cover " : "群星 - ") + title +
                                                (isLatin(title) ? " (Take " : " (翻唱") +
                                                std::to_string(i) + ")";
                found.results.push_back({name, fileName(stem, i, type), type});
            }
            found.albums = {s.name + " " + title};
            return found;
        }
    }
    // Anything else: a few dozen results named after the words.
    const uint64_t h = hash64(words);
    const size_t count = 25 + h % 40;
    const std::string stem = "w" + std::to_string(h % 100000);
    for (size_t i = 0; i < count; ++i) {
        const int type = resultType(lm, i);
        found.results.push_back(
            {words + " - 第" + std::to_string(i + 1) + "首", fileName(stem, i, type), type});
    }
    found.albums = {words + " 专辑"};
    return found;
}

} // namespace demo

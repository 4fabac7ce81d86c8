#include "search/result_page_parser.h"

#include "core/gbk.h"
#include "core/text_ops.h"
#include "search/search_request.h"

namespace search {

const std::string& totalMarker()
{
    static const std::string text = core::utf8ToGbk("百度为您找到相关结果");
    return text;
}

const std::string& totalEndMark()
{
    static const std::string text = core::utf8ToGbk("篇");
    return text;
}

const std::string& initialLabel()
{
    static const std::string text = core::utf8ToGbk("搜索结果为:");
    return text;
}

const std::string& captionMarker()
{
    static const std::string text = core::utf8ToGbk("本机ip为");
    return text;
}

namespace {

const std::string& labelPrefix()
{
    static const std::string text = core::utf8ToGbk(" 搜索结果  ");
    return text;
}

const std::string& captionAddition()
{
    static const std::string text = core::utf8ToGbk("   本机ip为:");
    return text;
}

std::string pagingLinkPrefix(const ServiceHosts& hosts)
{
    return "http://" + hosts.search + "/m?lm=";
}

std::string typeCode(int mediaType)
{
    // The first request's suffix is "&lm=N"; a follow-up starts its query with "lm=N".
    return typeSuffix(mediaType).substr(1);
}

} // namespace

SizeAndType sizeAndTypeOf(std::string_view line)
{
    const std::string t = core::trim(line);
    // The cuts never split a four-byte character (its digits are no size).
    const std::string last8 = core::lastNWhole(t, 8);
    SizeAndType out;
    out.type = core::lastN(t, 3);
    if (core::contains(last8, "M"))
        out.size = core::part(last8, 1, 3) + "M";
    if (core::contains(last8, "K"))
        out.size = core::part(last8, 1, 3) + "K";
    if (out.type == "Mrm") {
        out.type = "rm";
        out.size = core::part(core::lastNWhole(t, 7), 1, 3) + "M";
    }
    if (out.type == "Krm") {
        out.type = "rm";
        out.size = core::part(core::lastNWhole(t, 7), 1, 3) + "K";
    }
    return out;
}

std::string totalOf(const std::vector<std::string>& lines)
{
    const std::string line = core::lineOf(lines, totalMarker());
    const long e = core::find(totalEndMark(), line);
    const long start = static_cast<long>(totalMarker().size()) + 1; // byte 21
    return core::part(line, start, e - start);
}

std::string clientAddressOf(std::string_view href, const ServiceHosts& hosts)
{
    if (!core::contains(href, pagingLinkPrefix(hosts)) || !core::contains(href, "&ip="))
        return {};
    const long ip = core::find("&ip=", href);
    const long cl = core::find("&cl=", href);
    return core::part(href, ip + 4, cl - ip - 4);
}

std::string withoutRedirectPrefix(std::string_view href, const ServiceHosts& hosts)
{
    const size_t cut = hosts.redirectPrefix().size();
    return href.size() > cut ? std::string(href.substr(cut)) : std::string();
}

std::optional<std::string> nextPageAddress(const ServiceHosts& hosts, int mediaType,
                                           const std::string& words, int pageNumber,
                                           const std::string& clientAddress)
{
    const long long offset = static_cast<long long>(pageNumber) * kPageStep;
    if (offset > ResultLimit)
        return std::nullopt;
    return "http://" + hosts.search + "/m?" + typeCode(mediaType) +
           "&ct=134217728&tn=baidump3&word=" + words + "&pn=" + std::to_string(offset) +
           "&ip=" + clientAddress + "&cl=3&z=0";
}

PageOutcome parseResultPage(const ResultPage& page, const ServiceHosts& hosts)
{
    PageOutcome out;
    out.state = page.state;
    out.labelCaption = page.labelCaption;
    out.windowCaption = page.windowCaption;
    const int oldCount = page.listRowCount;

    if (page.labelCaption == initialLabel())
        out.labelCaption = labelPrefix() + totalOf(page.lines);

    const std::string redirect = hosts.redirectPrefix();
    // The lines of all result links are found in one pass over the page.
    std::vector<std::string_view> resultTexts;
    for (const PageLink& link : page.links)
        if (core::contains(link.href, redirect))
            resultTexts.emplace_back(link.text);
    const std::vector<std::string_view> resultLines = core::linesOf(page.lines, resultTexts);
    size_t result = 0;
    for (const PageLink& link : page.links) {
        if (out.state.clientAddress.empty())
            out.state.clientAddress = clientAddressOf(link.href, hosts);
        if (!core::contains(link.href, redirect))
            continue;
        const SizeAndType st = sizeAndTypeOf(resultLines[result++]);
        core::SongEntry row;
        row.caption = std::to_string(out.state.resultRowCount + 1);
        row.imageIndex = page.rowImage;
        row.subItems = {link.text, withoutRedirectPrefix(link.href, hosts), st.size, st.type};
        out.rows.push_back(std::move(row));
        ++out.state.resultRowCount;
    }

    if (!out.state.clientAddress.empty() && !core::contains(out.windowCaption, captionMarker()))
        out.windowCaption += captionAddition() + "  " + out.state.clientAddress;

    if (out.state.resultRowCount > oldCount) {
        if (out.state.searchStopped == 0) {
            ++out.state.resultPageNumber;
            out.requestNext = true;
            out.nextAddress = nextPageAddress(hosts, page.mediaType, page.words,
                                              out.state.resultPageNumber, out.state.clientAddress);
        }
    } else {
        out.state.resultPageNumber = 2;
    }
    return out;
}

} // namespace search

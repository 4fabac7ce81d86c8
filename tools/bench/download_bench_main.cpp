// corvale-download-bench URL OUTPUT [CONNECTIONS] [--no-reuse]: fetches one file with the
// transfer engine, as "开始下载" does, and prints the bytes written, the wall time and the peak
// memory. Exits 0 only when the file arrived whole; otherwise prints why (the memo's lines) and
// exits 1. --no-reuse asks the server to close every worker's connection after each response.
#include "core/gbk.h"
#include "download/headless_observer.h"
#include "download/tick_report.h"
#include "download/transfer_engine.h"
#include "http/http_client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

int fail(const download::HeadlessObserver& observer, const std::string& why)
{
    for (const std::string& line : observer.memoLines())
        std::fprintf(stderr, "%s\n", core::gbkToUtf8(line).c_str());
    if (!why.empty())
        std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    bool reuse = true;
    if (argc > 3 && std::string(argv[argc - 1]) == "--no-reuse") {
        reuse = false;
        --argc;
    }
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: corvale-download-bench URL OUTPUT [CONNECTIONS] [--no-reuse]\n");
        return 2;
    }
    const std::string url = argv[1];
    const std::filesystem::path output = std::filesystem::absolute(argv[2]);
    download::HeadlessObserver observer;
    observer.connections = argc > 3 ? std::atoi(argv[3]) : 5;
    observer.folder = output.parent_path().string() + "/";
    observer.search = "bench";
    download::DownloadRow row;
    row.caption = "1";
    row.name = output.stem().string();
    row.typeText = output.extension().string().substr(output.has_extension() ? 1 : 0);
    row.address = url;
    row.savePath = output.string();

    download::TransferEngine engine;
    engine.queue().append(row);
    engine.setObserver(&observer);
    if (!reuse)
        engine.prepareWorkerClient = [](http::HttpClient& client, int) {
            client.extraHeaders.push_back("Connection: close");
        };
    const auto started = std::chrono::steady_clock::now();
    try {
        engine.downbtnClick();
    } catch (const std::exception& e) {
        engine.shutdown();
        engine.setObserver(nullptr);
        return fail(observer, e.what());
    }
    engine.waitIdle(std::chrono::hours(1));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    engine.shutdown();
    engine.setObserver(nullptr);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto active = observer.activeRows();
    if (active.empty())
        return fail(observer, "the file was not started");
    if (active.front().status != download::statusEnded())
        return fail(observer, "");
    std::error_code ec;
    const auto size = std::filesystem::file_size(active.front().file.targetPath, ec);
    std::printf("bytes %llu seconds %.3f peak_kib %ld\n", static_cast<unsigned long long>(size),
                seconds, usage.ru_maxrss);
    return 0;
}

// corvale-queue-write-bench [ROWS] [CHANGES]: a download list of ROWS rows (default 100000) kept
// in its file while CHANGES status changes (default 300) arrive 10 ms apart, as finished and
// failed files report them. Prints the time spent writing the file in all, beside a reference
// measured in the same run: one whole write of the list times CHANGES, what writing after every
// change costs. The goal is at most 5 s of writing in all; the program exits 1 when that is
// missed or when the file read back differs from the list.
#include "download/download_queue.h"
#include "download/queue_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

core::SongEntry entry(int i)
{
    const std::string n = std::to_string(i);
    return {n,
            0,
            {"song " + n, "http://media.example/music/" + n + ".mp3", "3.2M", "mp3",
             "/home/user/music/song " + n + ".mp3"}};
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int changes = argc > 2 ? std::atoi(argv[2]) : 300;
    char pattern[] = "/tmp/corvale-queue-bench-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    download::QueueFile file((dir / "download-list.txt").string());

    double writing = 0;
    int writes = 0;
    std::vector<std::uint64_t> ids;
    {
        download::DownloadQueue queue;
        for (int i = 0; i < rows; ++i)
            ids.push_back(queue.append(entry(i)));

        // The reference: one whole write, as each change once cost.
        const auto one = Clock::now();
        file.save(queue.rows(), 1);
        const double oneWrite = secondsSince(one);
        std::printf("one whole write of %d rows: %.3f s; after every change: %.1f s\n", rows,
                    oneWrite, oneWrite * changes);

        queue.keepWritten([&](const std::vector<download::QueueRow>& all, std::uint64_t version) {
            const auto start = Clock::now();
            file.save(all, version + 1);
            writing += secondsSince(start);
            ++writes;
        });
        const auto run = Clock::now();
        for (int c = 0; c < changes; ++c) {
            queue.setStatus(ids[static_cast<std::size_t>(c) * 331 % ids.size()],
                            c % 2 ? download::RowStatus::Complete : download::RowStatus::Failed,
                            "reason");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::printf("%d changes over %.1f s\n", changes, secondsSince(run));
    } // the queue goes: its last changes are written
    const auto back = file.load().rows;
    const bool same = static_cast<int>(back.size()) == rows;
    std::printf("batched: %d writes, %.3f s of writing in all (goal <= 5 s)%s\n", writes, writing,
                same ? "" : "; the file read back differs");
    std::filesystem::remove_all(dir);
    return same && writing <= 5.0 ? 0 : 1;
}

#include "download/tmp3download.h"

#include "download/range_writer.h"
#include "download/transfer_engine.h"
#include "http/http_client.h"

#include <optional>

namespace download {

ByteRange tmp3download::range() const
{
    ByteRange r;
    r.start = setup_.index * setup_.rangeLength;
    r.end = setup_.last ? setup_.fileSize : (setup_.index + 1) * setup_.rangeLength;
    return r;
}

void tmp3download::Execute()
{
    http::HttpClient& client = *setup_.client;
    std::optional<RangeWriter> writer;
    try {
        writer.emplace(setup_.targetPath, range(), setup_.fileSize, setup_.bufferSize);
    } catch (...) {
        // The target file has gone: nothing can be written, the worker just ends.
    }
    if (writer && !setup_.engine->stopping()) {
        const ByteRange r = range();
        client.rangeStart = r.start;
        client.rangeEnd = r.end;
        client.onWorkBegin = [&writer](http::HttpClient&, int, std::int64_t announced) {
            writer->begin(announced);
        };
        try {
            client.Get(setup_.address, [&writer](std::string_view chunk) { writer->write(chunk); });
        } catch (...) {
            // A failed request ends the worker without a message; what arrived is kept.
        }
    }
    if (writer)
        writer->finish();
    try {
        client.Disconnect();
    } catch (...) {
    }
    setup_.engine->IdHTTP1WorkEnd(client, 0);
}

} // namespace download

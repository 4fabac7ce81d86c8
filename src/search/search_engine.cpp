#include "search/search_engine.h"

#include <atomic>

namespace search {

std::uint64_t newSearchId()
{
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

} // namespace search

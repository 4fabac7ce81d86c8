#include "core/first_occurrences.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

namespace core {
namespace {

using Node = std::int32_t;
constexpr Node kNone = -1;
constexpr Node kRoot = 0;
constexpr std::size_t kNotFound = std::string_view::npos;

// The needles as one tree of their bytes (node 0 is the empty text), with the links of an
// Aho-Corasick automaton so that one pass over a text finds every needle:
//  - fail: the node of the longest proper suffix of a node's text that is also in the tree;
//  - output: the nearest node along the fail links that ends a needle.
class NeedleTree {
public:
    explicit NeedleTree(const std::vector<std::string_view>& needles)
    {
        std::vector<std::uint32_t> order;
        for (std::size_t i = 0; i < needles.size(); ++i)
            if (!needles[i].empty())
                order.push_back(static_cast<std::uint32_t>(i));
        // Sorted needles share their common prefixes with the one before them, so the tree is
        // built without looking children up, and the children of a node appear in byte order.
        std::sort(order.begin(), order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return needles[a] < needles[b]; });
        needleNode_.assign(needles.size(), kNone);
        depth_.push_back(0);
        std::vector<Node> parentOf{kNone};
        std::vector<unsigned char> byteOf{0};
        std::vector<Node> path{kRoot}; // the nodes of the previous needle, by depth
        std::string_view previous;
        for (std::uint32_t i : order) {
            const std::string_view needle = needles[i];
            const auto shared =
                std::mismatch(needle.begin(), needle.end(), previous.begin(), previous.end());
            const std::size_t common = static_cast<std::size_t>(shared.first - needle.begin());
            path.resize(common + 1);
            for (std::size_t d = common; d < needle.size(); ++d) {
                const Node node = static_cast<Node>(depth_.size());
                depth_.push_back(static_cast<std::uint32_t>(d + 1));
                parentOf.push_back(path[d]);
                byteOf.push_back(static_cast<unsigned char>(needle[d]));
                path.push_back(node);
            }
            needleNode_[i] = path[needle.size()];
            previous = needle;
        }
        linkChildren(parentOf, byteOf);
        linkSuffixes();
    }

    // The 0-based offset of the first occurrence of each needle in text.
    std::vector<std::size_t> firstOccurrences(std::string_view text) const
    {
        std::vector<std::size_t> foundAt(depth_.size(), kNotFound);
        std::size_t missing = 0;
        for (Node node = 1; node < static_cast<Node>(depth_.size()); ++node)
            missing += ends_[static_cast<std::size_t>(node)] ? 1 : 0;
        Node state = kRoot;
        for (std::size_t i = 0; i < text.size() && missing > 0; ++i) {
            state = next(state, static_cast<unsigned char>(text[i]));
            Node match = ends_[static_cast<std::size_t>(state)] ? state : output_[state];
            // A needle found earlier has had every needle that ends it found with it, so the
            // walk stops there: each needle is visited once over the whole text.
            while (match != kNone && foundAt[static_cast<std::size_t>(match)] == kNotFound) {
                foundAt[static_cast<std::size_t>(match)] = i + 1 - depth_[match];
                --missing;
                match = output_[match];
            }
        }
        std::vector<std::size_t> result(needleNode_.size(), kNotFound);
        for (std::size_t i = 0; i < needleNode_.size(); ++i)
            if (needleNode_[i] != kNone)
                result[i] = foundAt[static_cast<std::size_t>(needleNode_[i])];
        return result;
    }

private:
    // Children as one array ordered by parent; a node's children are childBegin_[node] up to
    // childBegin_[node + 1], in byte order.
    void linkChildren(const std::vector<Node>& parentOf, const std::vector<unsigned char>& byteOf)
    {
        const std::size_t nodes = depth_.size();
        childBegin_.assign(nodes + 1, 0);
        for (std::size_t node = 1; node < nodes; ++node)
            ++childBegin_[static_cast<std::size_t>(parentOf[node]) + 1];
        std::partial_sum(childBegin_.begin(), childBegin_.end(), childBegin_.begin());
        childByte_.resize(nodes - 1);
        childNode_.resize(nodes - 1);
        std::vector<std::uint32_t> fill(childBegin_.begin(), childBegin_.end() - 1);
        for (std::size_t node = 1; node < nodes; ++node) {
            const std::uint32_t slot = fill[static_cast<std::size_t>(parentOf[node])]++;
            childByte_[slot] = byteOf[node];
            childNode_[slot] = static_cast<Node>(node);
        }
        ends_.assign(nodes, false);
        for (Node node : needleNode_)
            if (node != kNone)
                ends_[static_cast<std::size_t>(node)] = true;
        rootNext_.fill(kRoot);
        for (std::uint32_t k = childBegin_[0]; k < childBegin_[1]; ++k)
            rootNext_[childByte_[k]] = childNode_[k];
    }

    // Fail and output links, breadth first so that shorter texts are linked before longer ones.
    void linkSuffixes()
    {
        fail_.assign(depth_.size(), kRoot);
        output_.assign(depth_.size(), kNone);
        std::vector<Node> queue{kRoot};
        for (std::size_t head = 0; head < queue.size(); ++head) {
            const Node parent = queue[head];
            for (std::uint32_t k = childBegin_[parent]; k < childBegin_[parent + 1]; ++k) {
                const Node node = childNode_[k];
                const Node suffix = parent == kRoot ? kRoot : next(fail_[parent], childByte_[k]);
                fail_[node] = suffix;
                output_[node] = ends_[static_cast<std::size_t>(suffix)] ? suffix : output_[suffix];
                queue.push_back(node);
            }
        }
    }

    Node child(Node node, unsigned char byte) const
    {
        const auto first = childByte_.begin() + childBegin_[node];
        const auto last = childByte_.begin() + childBegin_[node + 1];
        const auto at = std::lower_bound(first, last, byte);
        return at != last && *at == byte
                   ? childNode_[static_cast<std::size_t>(at - childByte_.begin())]
                   : kNone;
    }

    // The state after reading byte in state.
    Node next(Node state, unsigned char byte) const
    {
        while (state != kRoot) {
            const Node to = child(state, byte);
            if (to != kNone)
                return to;
            state = fail_[state];
        }
        return rootNext_[byte];
    }

    std::vector<std::uint32_t> depth_;
    std::vector<Node> needleNode_;
    std::vector<std::uint32_t> childBegin_;
    std::vector<unsigned char> childByte_;
    std::vector<Node> childNode_;
    std::array<Node, 256> rootNext_{};
    std::vector<bool> ends_;
    std::vector<Node> fail_;
    std::vector<Node> output_;
};

} // namespace

std::vector<std::size_t> firstOccurrences(std::string_view text,
                                          const std::vector<std::string_view>& needles)
{
    return NeedleTree(needles).firstOccurrences(text);
}

} // namespace core

#include "HuffmanEncoder.h"

#include <algorithm>
#include <array>
#include <queue>
#include <tuple>

#include "Compression.h"

namespace screenserver {
namespace {

constexpr std::uint16_t kFirstNodeId = 257;  // identifiers above 256 name internal nodes
constexpr unsigned kMaxCodeBits = 32;

struct Node {
  std::uint16_t zero;  // child entries as the table stores them
  std::uint16_t one;
};

struct Tree {
  std::vector<Node> nodes;  // in creation order: children before parents, root last
  std::array<std::uint32_t, 256> code{};
  std::array<unsigned, 256> bits{};
  unsigned deepest = 0;
};

Tree Build(const std::array<std::uint64_t, 256>& frequency) {
  Tree tree;
  // Queue entries: (weight, tie-break order, table entry). Entries of 256 and below are leaves.
  using Item = std::tuple<std::uint64_t, std::uint32_t, std::uint16_t>;
  std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
  std::uint32_t order = 0;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (frequency[byte] > 0) queue.emplace(frequency[byte], order++, byte);
  }
  if (queue.size() == 1) {
    // One distinct byte: a root whose both children are that byte, one bit a byte.
    const std::uint16_t leaf = std::get<2>(queue.top());
    tree.nodes.push_back({leaf, leaf});
  }
  while (queue.size() > 1) {
    const Item a = queue.top();
    queue.pop();
    const Item b = queue.top();
    queue.pop();
    tree.nodes.push_back({std::get<2>(a), std::get<2>(b)});
    const auto id = static_cast<std::uint16_t>(kFirstNodeId + tree.nodes.size() - 1);
    queue.emplace(std::get<0>(a) + std::get<0>(b), order++, id);
  }
  // Codes: walk from the root (the last node), 0 for the first child and 1 for the second.
  struct Visit {
    std::uint16_t entry;
    std::uint32_t code;
    unsigned bits;
  };
  std::vector<Visit> stack{
      {static_cast<std::uint16_t>(kFirstNodeId + tree.nodes.size() - 1), 0, 0}};
  while (!stack.empty()) {
    const Visit visit = stack.back();
    stack.pop_back();
    if (visit.entry < kFirstNodeId) {
      tree.code[visit.entry] = visit.code;
      tree.bits[visit.entry] = visit.bits;
      tree.deepest = std::max(tree.deepest, visit.bits);
      continue;
    }
    if (visit.bits >= kMaxCodeBits) {
      tree.deepest = kMaxCodeBits + 1;
      continue;
    }
    const Node& node = tree.nodes[visit.entry - kFirstNodeId];
    stack.push_back({node.zero, visit.code << 1, visit.bits + 1});
    stack.push_back({node.one, (visit.code << 1) | 1u, visit.bits + 1});
  }
  return tree;
}

}  // namespace

std::vector<std::uint8_t> HuffmanEncode(std::span<const std::uint8_t> data) {
  std::array<std::uint64_t, 256> frequency{};
  for (std::uint8_t byte : data) ++frequency[byte];
  Tree tree = Build(frequency);
  // Very skewed counts can make codes longer than the writer's 32 bits: flatten and rebuild.
  while (tree.deepest > kMaxCodeBits) {
    for (auto& f : frequency) {
      if (f > 0) f = (f >> 1) | 1u;
    }
    tree = Build(frequency);
  }

  std::vector<std::uint8_t> out;
  out.reserve(6 + 6 * tree.nodes.size() + data.size() + 8);
  AppendLe32(out, static_cast<std::uint32_t>(data.size()));
  AppendLe16(out, static_cast<std::uint16_t>(3 * tree.nodes.size()));
  for (std::size_t i = 0; i < tree.nodes.size(); ++i) {
    AppendLe16(out, static_cast<std::uint16_t>(kFirstNodeId + i));
    AppendLe16(out, tree.nodes[i].zero);
    AppendLe16(out, tree.nodes[i].one);
  }
  WordBitWriter writer(out);
  for (std::uint8_t byte : data) writer.Put(tree.code[byte], tree.bits[byte]);
  writer.Finish();
  return out;
}

}  // namespace screenserver

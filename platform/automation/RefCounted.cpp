#include "automation/RefCounted.h"

#include <vector>

namespace telvinor::automation {
namespace {

// Deep enough for any ordinary object graph, shallow enough for the smallest thread stack.
constexpr int kMaxDeletionDepth = 200;

struct DeletionState {
  int depth = 0;
  std::vector<const RefCounted*> pending;
};

thread_local DeletionState deletion;

}  // namespace

void RefCounted::FinalRelease() const noexcept {
  DeletionState& state = deletion;
  if (state.depth >= kMaxDeletionDepth) {
    state.pending.push_back(this);
    return;
  }
  ++state.depth;
  delete this;
  if (state.depth == 1) {
    while (!state.pending.empty()) {
      const RefCounted* next = state.pending.back();
      state.pending.pop_back();
      delete next;
    }
  }
  --state.depth;
}

}  // namespace telvinor::automation

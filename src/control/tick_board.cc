#include "control/tick_board.h"

#include "common/oledate.h"

namespace quillon {

TickBoard::Slot TickBoard::Take() {
  if (free_.empty()) {
    // Room for every slot to come back, so that Free never allocates.
    if (free_.capacity() <= due_.size()) free_.reserve(2 * due_.size() + 16);
    due_.push_back(kEveryTick);
    return static_cast<Slot>(due_.size() - 1);
  }
  const Slot slot = free_.back();
  free_.pop_back();
  due_[slot] = kEveryTick;
  return slot;
}

void TickBoard::Free(Slot slot) noexcept {
  due_[slot] = kEveryTick;
  free_.push_back(slot);  // room for every slot was reserved when it was taken
}

void TickBoard::ReadClock() noexcept { now_ = DateToLinear(clock_.Now()); }

}  // namespace quillon

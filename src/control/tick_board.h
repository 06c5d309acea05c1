// When each control of a thread next has something to do on a tick of its timer, side by
// side in one table: a timer that ticks thousands of controls a second finds the few whose
// tick reads here, without touching the others' memory. A tick the board calls idle would
// do nothing, so leaving it out changes nothing anybody sees. Used on its thread only.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/clock.h"

namespace quillon {

class TickBoard {
 public:
  using Slot = uint32_t;
  // What a control sets when its next tick may have something to do, whatever the time.
  static constexpr double kEveryTick = -std::numeric_limits<double>::infinity();
  // ... and when no tick has anything to do until the control is changed.
  static constexpr double kNoTick = std::numeric_limits<double>::infinity();
  // How far a tick may come after the clock's last reading and still be judged by it, in
  // days (the unit of the clock's dates): a tenth of a second.
  static constexpr double kMargin = 0.1 / 86400;

  explicit TickBoard(Clock& clock) : clock_(clock) {}
  TickBoard(const TickBoard&) = delete;
  TickBoard& operator=(const TickBoard&) = delete;

  // A slot for a new control, set to kEveryTick. Throws std::bad_alloc.
  Slot Take();
  // Gives back the slot of a control that goes.
  void Free(Slot slot) noexcept;
  // The control's ticks do nothing before `due`, a time on the clock's line (DateToLinear).
  void Set(Slot slot, double due) noexcept { due_[slot] = due; }
  double due(Slot slot) const noexcept { return due_[slot]; }

  // Reads the clock for the Idle() calls that follow, within kMargin of it: read once more
  // after any tick that may have taken time.
  void ReadClock() noexcept;
  // A tick of the slot's control would do nothing.
  bool Idle(Slot slot) const noexcept { return now_ + kMargin < due_[slot]; }

 private:
  Clock& clock_;
  double now_ = kEveryTick;  // the last reading, on the clock's line
  std::vector<double> due_;
  std::vector<Slot> free_;
};

// A control's slot on its thread's board, for the timer that ticks it; no board: none.
struct TickSlot {
  TickBoard* board = nullptr;
  TickBoard::Slot slot = 0;
};

}  // namespace quillon

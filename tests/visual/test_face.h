// A face window with a face of its own, for tests of the window without a control: captions
// and colours are set as the control sets them (the window hears of each label that
// changed), and each tick runs what the test gives.
#pragma once

#include <functional>
#include <utility>

#include "control/face.h"
#include "package/face_window.h"

namespace quillon {

class TestFace final : public FaceOwner {
 public:
  explicit TestFace(std::function<void()> tick = nullptr) : tick_(std::move(tick)) {}

  const FaceState& face() noexcept override { return face_; }
  void Tick() noexcept override {
    if (tick_) tick_();
  }
  TickSlot tick_slot() noexcept override { return slot_; }
  // The slot given to the thread's timer from the next start of the timer on.
  void set_tick_slot(TickSlot slot) { slot_ = slot; }

  void SetCaption(Child label, TextView caption) {
    if (face_.SetCaption(label, caption)) window_.LabelChanged(label);
  }
  void SetForeColor(Child label, uint32_t colour) {
    if (face_.SetColour(label, colour)) window_.LabelChanged(label);
  }
  bool EnableTimer(bool enabled) { return window_.EnableTimer(enabled); }
  FaceWindow& window() { return window_; }

 private:
  FaceState face_;
  std::function<void()> tick_;
  TickSlot slot_;
  FaceWindow window_{*this};
};

}  // namespace quillon

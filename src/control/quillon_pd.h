// QuillonPD: the display control that shows the current value of one point, refreshed from
// the process's shared value cache. Free of COM types: a container wraps it and maps each
// member of _QuillonPD onto the method of the same name below, in the same order.
#pragma once

#include <cstdint>
#include <memory>

#include "cache/cache_services.h"
#include "cache/record.h"
#include "common/text.h"
#include "control/control_site.h"
#include "control/face.h"
#include "control/property_bag.h"
#include "control/tables.h"
#include "control/tick_board.h"
#include "platform/clock.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon {

// The instance fields, in declaration order. A fresh instance has empty texts, zeros and
// the zero date; InitProperties or ReadProperties gives it its settings.
// What every tick looks at comes first, so that a tick that is not due touches little memory.
struct QuillonPDFields {
  bool blnDemarrageTermine = false;
  int32_t lngPeriodeSec = 0;  // udtPollTime, second member: its seconds, 0 outside the table
  double dtmDateDernLect = 0;
  int32_t ePollTime = 0;      // udtPollTime, first member: as set, unchecked
  int32_t lngQualite = 0;
  double dtmDateDemarrage = 0;
  Text strNTF;
  Text strValeur;
  Text strValeurFormatee;
  Text strFormat;
};

// Storage for the records that a thread's controls read, lent to one read at a time: the
// texts of a read keep their memory from one read to the next, and a display of thousands of
// controls reads them all into the same few cache lines. A read re-entered from a
// notification of another gets storage of its own. Used on its thread only.
class RecordStorage {
 public:
  RecordStorage() = default;
  RecordStorage(const RecordStorage&) = delete;
  RecordStorage& operator=(const RecordStorage&) = delete;

  // Storage for a read: the spare one, or new storage while the spare is lent.
  std::unique_ptr<EnregCache> Lend() {
    return spare_ ? std::move(spare_) : std::make_unique<EnregCache>();
  }
  // Takes storage back after the read; what is not needed as the spare is freed.
  void GiveBack(std::unique_ptr<EnregCache> record) noexcept {
    if (!spare_) spare_ = std::move(record);
  }

 private:
  std::unique_ptr<EnregCache> spare_;
};

// What a control works with besides its container; each must outlive the control.
struct ControlServices {
  CacheServices& cache;
  Clock& clock;
  Locale& locale;
  Formatter& formatter;
  RecordStorage& records;
  TickBoard& ticks;
};

// The container, the cache services and the property bag report failure by their results,
// so a step that fails leaves its field or result at its default and the member goes on
// with its next step. Only running out of memory throws (std::bad_alloc); a COM shell
// guards each entry point against it. A caption the face cannot hold is one its label keeps.
// The control keeps its face (the captions and colours of its labels) and tells its site of
// each label that changed; everything runs on the control's thread.
class QuillonPD {
 public:
  // The site must outlive the control. Throws std::bad_alloc.
  QuillonPD(ControlSite& site, const ControlServices& services);
  QuillonPD(const QuillonPD&) = delete;
  QuillonPD& operator=(const QuillonPD&) = delete;
  ~QuillonPD();

  // _QuillonPD, in the order of its table of operations.
  // The texts of get_NTF and get_Formatage are the control's own, valid until the property
  // is set again: a caller that keeps one copies it.
  void put_NTF(const Text& value);
  TextView get_NTF() const;
  void put_Formatage(const Text& value);
  TextView get_Formatage() const;
  Text get_Valeur() const;
  void put_Valeur(const Text& value);
  double get_ValeurNombre() const;
  void put_ValeurNombre(double value);
  Text get_ValeurFormatee() const;
  void put_ValeurFormatee(const Text& value);
  Text get_HorodatageDernLect() const;
  void put_HorodatageDernLect(const Text& value);
  Text get_Qualite() const;
  void put_Qualite(const Text& value);
  void put_Frequence_Rafraichissement(int32_t value);
  int32_t get_Frequence_Rafraichissement() const;
  void Rafraichir();
  void MaJNTF(const Text& strNewValeur, const Text& strNewValeurFormatee, uint8_t bytNewQualite,
              double dtmNewDateDernLect);

  // Back to the state of a freshly created instance (empty texts, zeros, the zero date);
  // the run state of the refresh cycle and the face stay as they are.
  void Reset();

  // Lifecycle notifications from the container.
  void InitProperties();
  void ReadProperties(PropertyBag& bag);
  void WriteProperties(PropertyBag& bag);
  void Show();
  void Hide();
  void AmbientChanged(Ambient ambient);

  // A tick of timerRead, delivered by the container while the timer is enabled.
  void timerRead_Timer();
  // Where the control tells its thread's timer until when its ticks have nothing to do: the
  // timer may leave those out.
  TickSlot tick_slot() noexcept { return {&ticks_, tick_slot_}; }

  const QuillonPDFields& fields() const { return f_; }
  // What the face shows now. The time of the last read is written into its label here, when
  // somebody looks, rather than at every read.
  const FaceState& face() const noexcept;

 private:
  // One read of the point into `record`, shown on the face.
  void ReadAndShow(EnregCache& record);
  // Whether a tick now reads, given NextReadDue().
  bool ReadIsDue(double due);
  // When the next read falls due, on the clock's line: TickBoard::kEveryTick when every
  // tick reads, TickBoard::kNoTick when none does.
  double NextReadDue() noexcept;
  // The fields ReadIsDue judges by changed outside a tick: the next tick judges again.
  void NextTickCounts() noexcept { ticks_.Set(tick_slot_, TickBoard::kEveryTick); }
  // Reads into `record` (its storage reused); true when the point's record was found.
  bool LireEnregistrementNTF(const Text& ntf, int32_t poll_time, EnregCache* record);
  int32_t CalculerPeriodeSec() const;
  void AfficherPollTime();
  void AfficherQualite();
  void ShowCaption(Child label, TextView caption) noexcept;
  bool SetCaption(Child label, TextView caption) noexcept;
  void ShowLastRead(double date) noexcept;
  void ShowValues() noexcept;
  void UpdatePhase(const EnregCache& record, double now);

  // When a steady read falls due: the last read plus the period, on the real time line. Most
  // ticks are not due, so it is worked out again only when either of the two changed.
  struct NextRead {
    NextRead() = default;
    NextRead(double last, int32_t seconds);
    bool Holds(double last, int32_t seconds) const {
      return known && last == last_read && seconds == period;
    }
    double last_read = 0;
    int32_t period = 0;
    bool known = false;    // worked out from last_read and period
    bool unset = false;    // last_read is within half a day of the zero date
    bool is_date = false;  // their sum is a date
    double due = 0;        // the sum, as DateToLinear gives it
  };

  // A tick that is not due reads the first 48 bytes (the clock, next_read_ and f_'s first
  // three fields) and writes its slot on the board. A read, the members up to the face, which
  // it leaves alone while the point's values stay the same.
  Clock& clock_;
  NextRead next_read_;
  QuillonPDFields f_;
  ControlSite& site_;
  CacheServices& cache_;
  RecordStorage& records_;
  TickBoard& ticks_;
  TickBoard::Slot tick_slot_;
  PointHint point_hint_;  // what the cache knew of the point at the last read
  double last_read_shown_ = 0;              // the date txtHeureDernLect shows
  bool last_read_given_ = false;             // txtHeureDernLect was given a date
  mutable bool last_read_pending_ = false;  // ... that face() has yet to write into it
  bool values_shown_ = false;   // txtValeur and txtValeurFormatee show f_'s texts
  bool quality_shown_ = false;  // txtStatut shows the quality shown_quality_
  int32_t shown_quality_ = 0;
  Locale& locale_;
  Formatter& formatter_;
  mutable FaceState face_;
};

}  // namespace quillon

#include "control/quillon_pd.h"

#include <cmath>
#include <new>
#include <utility>

#include "common/oledate.h"
#include "control/value_text.h"

namespace quillon {
namespace {

constexpr double kStartUpSeconds = 30;

constexpr const ControlProperty& kNTF = PropertyOf(PropertyId::NTF);
constexpr const ControlProperty& kFormatage = PropertyOf(PropertyId::Formatage);
constexpr const ControlProperty& kPollTime = PropertyOf(PropertyId::Frequence_Rafraichissement);
// What MaJNTF changes, in the order the container learns of it.
constexpr PropertyId kReadValues[] = {PropertyId::Valeur, PropertyId::ValeurNombre,
                                      PropertyId::ValeurFormatee, PropertyId::Qualite,
                                      PropertyId::HorodatageDernLect};

// The keys of the three settings in the bag, made once for all controls.
const Text kNTFKey(kNTF.saved_key), kPollTimeKey(kPollTime.saved_key),
    kFormatageKey(kFormatage.saved_key);

// A setting's text from what the bag gave: a text is taken over as it is, anything else
// converted.
bool TakeText(BagValue& value, Locale& locale, Text* result) {
  if (Text* text = std::get_if<Text>(&value)) {
    *result = std::move(*text);
    return true;
  }
  return BagToText(value, locale, result);
}

bool Earlier(double a, double b) { return DateToLinear(a) < DateToLinear(b); }

}  // namespace

Ambient AmbientNamed(TextView name) {
  return name == u"UserMode" ? Ambient::kUserMode : Ambient::kOther;
}

QuillonPD::QuillonPD(ControlSite& site, const ControlServices& services)
    : clock_(services.clock),
      site_(site),
      cache_(services.cache),
      records_(services.records),
      ticks_(services.ticks),
      tick_slot_(ticks_.Take()),
      locale_(services.locale),
      formatter_(services.formatter) {}

QuillonPD::~QuillonPD() { ticks_.Free(tick_slot_); }

// --- _QuillonPD ---------------------------------------------------------------------------

void QuillonPD::put_NTF(const Text& value) {
  f_.strNTF = value;
  ShowCaption(Child::txtNTF, f_.strNTF);
  site_.PropertyChanged(kNTF);
  AmbientChanged(Ambient::kUserMode);
}

TextView QuillonPD::get_NTF() const {
  return f_.strNTF.empty() ? TextView(u"Noeud:Tag.Field") : TextView(f_.strNTF);
}

void QuillonPD::put_Formatage(const Text& value) {
  f_.strFormat = value;
  site_.PropertyChanged(kFormatage);
  AmbientChanged(Ambient::kUserMode);
}

TextView QuillonPD::get_Formatage() const { return f_.strFormat; }

Text QuillonPD::get_Valeur() const {
  return FormatValueText(formatter_, f_.strValeur, f_.strFormat);
}

void QuillonPD::put_Valeur(const Text&) {}

double QuillonPD::get_ValeurNombre() const { return ReadValueNumber(locale_, f_.strValeur); }

void QuillonPD::put_ValeurNombre(double) {}

Text QuillonPD::get_ValeurFormatee() const {
  return FormatValueText(formatter_, f_.strValeurFormatee, f_.strFormat);
}

void QuillonPD::put_ValeurFormatee(const Text&) {}

Text QuillonPD::get_HorodatageDernLect() const { return LastReadText(locale_, f_.dtmDateDernLect); }

void QuillonPD::put_HorodatageDernLect(const Text&) {}

Text QuillonPD::get_Qualite() const { return QualityText(f_.lngQualite); }

void QuillonPD::put_Qualite(const Text&) {}

void QuillonPD::put_Frequence_Rafraichissement(int32_t value) {
  f_.ePollTime = value;
  f_.lngPeriodeSec = CalculerPeriodeSec();
  NextTickCounts();
  site_.PropertyChanged(kPollTime);
  AmbientChanged(Ambient::kUserMode);
  AfficherPollTime();
}

int32_t QuillonPD::get_Frequence_Rafraichissement() const { return f_.ePollTime; }

void QuillonPD::Rafraichir() {}

void QuillonPD::MaJNTF(const Text& strNewValeur, const Text& strNewValeurFormatee,
                       uint8_t bytNewQualite, double dtmNewDateDernLect) {
  // A steady point mostly reads the texts and the quality it showed last: they are then
  // neither copied nor compared with the labels again.
  const bool same_values = values_shown_ && f_.strValeur == strNewValeur &&
                           f_.strValeurFormatee == strNewValeurFormatee;
  if (!same_values) {
    values_shown_ = false;
    f_.strValeur = strNewValeur;
    f_.strValeurFormatee = strNewValeurFormatee;
  }
  f_.lngQualite = QualityFromByte(bytNewQualite);
  f_.dtmDateDernLect = dtmNewDateDernLect;
  NextTickCounts();
  for (PropertyId id : kReadValues) site_.PropertyChanged(PropertyOf(id));
  if (!same_values) ShowValues();
  ShowLastRead(f_.dtmDateDernLect);
  if (!quality_shown_ || shown_quality_ != f_.lngQualite) AfficherQualite();
}

void QuillonPD::ShowValues() noexcept {
  ShowCaption(Child::txtValeur, f_.strValeur);
  ShowCaption(Child::txtValeurFormatee, f_.strValeurFormatee);
  values_shown_ = face_.caption(Child::txtValeur) == f_.strValeur &&
                  face_.caption(Child::txtValeurFormatee) == f_.strValeurFormatee;
}

// --- Lifecycle ----------------------------------------------------------------------------

void QuillonPD::Reset() {
  QuillonPDFields fresh;
  fresh.dtmDateDemarrage = f_.dtmDateDemarrage;
  fresh.blnDemarrageTermine = f_.blnDemarrageTermine;
  f_ = std::move(fresh);
  NextTickCounts();
  values_shown_ = false;  // the labels still show the texts of before
}

void QuillonPD::InitProperties() {
  f_.strNTF.clear();
  f_.strValeur = u"?";
  f_.strValeurFormatee = u"?";
  values_shown_ = false;
  f_.strFormat.clear();
  f_.lngQualite = -2;
  f_.ePollTime = Minute_01;
  f_.lngPeriodeSec = PollTimeSeconds(Minute_01);
  NextTickCounts();
}

// A bag that cannot be read, or a value that cannot take the setting's type, leaves the
// setting as it was.
void QuillonPD::ReadProperties(PropertyBag& bag) {
  BagValue value;
  Text ntf;
  if (bag.Read(kNTFKey, Text(), &value) && TakeText(value, locale_, &ntf)) {
    f_.strNTF = std::move(ntf);
  }
  int32_t poll = 0;
  if (bag.Read(kPollTimeKey, int32_t{Minute_01}, &value) && BagToInt32(value, locale_, &poll)) {
    f_.ePollTime = poll;
  }
  f_.lngPeriodeSec = CalculerPeriodeSec();
  NextTickCounts();
  Text format;
  if (bag.Read(kFormatageKey, Text(), &value) && TakeText(value, locale_, &format)) {
    f_.strFormat = std::move(format);
  }
}

void QuillonPD::WriteProperties(PropertyBag& bag) {
  bag.Write(kNTFKey, f_.strNTF);
  bag.Write(kPollTimeKey, f_.ePollTime);
  bag.Write(kFormatageKey, f_.strFormat);
}

void QuillonPD::Show() {
  ShowCaption(Child::txtNTF, f_.strNTF);
  AfficherPollTime();
  AmbientChanged(Ambient::kUserMode);
}

void QuillonPD::Hide() {
  site_.EnableTimer(false);
  cache_.fctFermerCache();
}

void QuillonPD::AmbientChanged(Ambient ambient) {
  if (ambient != Ambient::kUserMode) return;
  NextTickCounts();
  // A container that cannot report the mode gets the run-mode statements.
  if (site_.AmbientUserMode() != UserMode::kDesign) {
    f_.dtmDateDemarrage = clock_.Now();
    site_.EnableTimer(true);
  } else {
    site_.EnableTimer(false);
    f_.blnDemarrageTermine = false;
    cache_.fctFermerCache();
  }
}

// --- Refresh cycle ------------------------------------------------------------------------

// The board hears when the next tick may read: after a read, from the new last read.
void QuillonPD::timerRead_Timer() {
  double due = NextReadDue();
  if (ReadIsDue(due)) {
    std::unique_ptr<EnregCache> record = records_.Lend();
    ReadAndShow(*record);
    records_.GiveBack(std::move(record));
    due = NextReadDue();
  }
  ticks_.Set(tick_slot_, due);
}

void QuillonPD::ReadAndShow(EnregCache& record) {
  // Among a thousand controls these are far from the processor's caches: they come in while
  // the read below waits on the system.
  __builtin_prefetch(f_.strValeur.data());
  __builtin_prefetch(f_.strValeurFormatee.data());
  const bool found = LireEnregistrementNTF(f_.strNTF, f_.ePollTime, &record);
  // The timer path reports the time of the tick, with quality 0 for the point's record and
  // "?" for the empty record (point absent, cache closed or unreadable, another point's
  // record): a read that found nothing must not show as a good one.
  const uint8_t quality = found ? 0 : kQualityByteUnknown;
  const double now = clock_.Now();  // the time of the read, one reading for all three
  MaJNTF(record.strValeurLue, record.strValeurFormateeLue, quality, now);
  UpdatePhase(record, now);
  f_.dtmDateDernLect = now;
}

// In the steady phase a read waits for the period to run out since the last read; a last
// read within half a day of the zero date counts as none. A last-read time whose sum with
// the period is no date ends the tick.
bool QuillonPD::ReadIsDue(double due) {
  if (due == TickBoard::kEveryTick) return true;
  return due != TickBoard::kNoTick && !(DateToLinear(clock_.Now()) < due);
}

double QuillonPD::NextReadDue() noexcept {
  if (!f_.blnDemarrageTermine) return TickBoard::kEveryTick;
  if (!next_read_.Holds(f_.dtmDateDernLect, f_.lngPeriodeSec)) {
    next_read_ = NextRead(f_.dtmDateDernLect, f_.lngPeriodeSec);
  }
  if (next_read_.unset) return TickBoard::kEveryTick;
  return next_read_.is_date ? next_read_.due : TickBoard::kNoTick;
}

QuillonPD::NextRead::NextRead(double last, int32_t seconds) : last_read(last), period(seconds) {
  double sum = 0;
  known = true;
  unset = std::nearbyint(last) == 0;
  is_date = AddSeconds(last, seconds, &sum);
  due = DateToLinear(sum);
}

// The start-up phase ends with the first record read by the server since run mode began, or
// 30 seconds after it began.
void QuillonPD::UpdatePhase(const EnregCache& record, double now) {
  if (Earlier(f_.dtmDateDemarrage, record.dtmLecture)) {
    f_.blnDemarrageTermine = true;
    return;
  }
  double end = 0;
  if (AddSeconds(f_.dtmDateDemarrage, kStartUpSeconds, &end) && Earlier(end, now)) {
    f_.blnDemarrageTermine = true;
  }
}

// The record of a point, the empty record when the cache holds none for it; a forced read is
// requested either way. The cache looks the point up in the form it stores references
// (trimmed, at most 60 characters), so a reference typed with a stray space still shows its
// point, and re-opens the shared file when another control closed it.
bool QuillonPD::LireEnregistrementNTF(const Text& ntf, int32_t poll_time, EnregCache* record) {
  const bool found = cache_.PointRecord(ntf, record, &point_hint_);
  cache_.fctDemanderLectNTF(ntf, poll_time, &point_hint_);
  return found;
}

int32_t QuillonPD::CalculerPeriodeSec() const { return PollTimeSeconds(f_.ePollTime); }

void QuillonPD::AfficherPollTime() {
  if (const PollTimeEntry* entry = FindPollTime(f_.ePollTime)) {
    ShowCaption(Child::txtPolltime, entry->text);
  }
}

// The label goes black, takes the quality's text and turns red for a bad code; the site
// hears of it once, when that left it showing something else.
void QuillonPD::AfficherQualite() {
  const QualityEntry quality = QualityOf(f_.lngQualite);
  bool changed = face_.SetColour(Child::txtStatut, quality.colour);
  changed |= SetCaption(Child::txtStatut, quality.text);
  if (changed) site_.LabelChanged(Child::txtStatut);
  quality_shown_ = face_.caption(Child::txtStatut) == quality.text;
  shown_quality_ = f_.lngQualite;
}

// --- The face -----------------------------------------------------------------------------

bool QuillonPD::SetCaption(Child label, TextView caption) noexcept {
  try {
    return face_.SetCaption(label, caption);
  } catch (...) {  // no memory for the caption: the label keeps the one it had
    return false;
  }
}

void QuillonPD::ShowCaption(Child label, TextView caption) noexcept {
  if (SetCaption(label, caption)) site_.LabelChanged(label);
}

// A steady display reads far more often than anybody looks at it: the date is formatted by
// face() when the label is drawn or read. The site hears of the label once until then.
void QuillonPD::ShowLastRead(double date) noexcept {
  if (last_read_given_ && date == last_read_shown_) return;  // the same date, the same text
  last_read_shown_ = date;
  last_read_given_ = true;
  if (last_read_pending_) return;  // the site has yet to draw the last change
  last_read_pending_ = true;
  site_.LabelChanged(Child::txtHeureDernLect);
}

const FaceState& QuillonPD::face() const noexcept {
  if (last_read_pending_) {
    try {
      face_.SetCaption(Child::txtHeureDernLect, LastReadText(locale_, last_read_shown_));
      last_read_pending_ = false;
    } catch (...) {  // no memory for the text: the label keeps its caption until next time
    }
  }
  return face_;
}

}  // namespace quillon

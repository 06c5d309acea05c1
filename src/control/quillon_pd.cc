#include "control/quillon_pd.h"

#include <cmath>

#include "common/oledate.h"
#include "control/value_text.h"

namespace quillon {
namespace {

constexpr double kStartUpSeconds = 30;
const Text kUserMode = u"UserMode";

// Runs one step of a member; a step that fails is skipped and the member goes on.
template <class F>
void Step(F&& step) noexcept {
  try {
    step();
  } catch (...) {
  }
}

// The result of a getter, or `fallback` when computing it fails.
template <class R, class F>
R Guarded(R fallback, F&& compute) noexcept {
  try {
    return compute();
  } catch (...) {
    return fallback;
  }
}

bool Earlier(double a, double b) { return DateToLinear(a) < DateToLinear(b); }

}  // namespace

QuillonPD::QuillonPD(ControlSite& site, CacheServices& cache, Clock& clock, Locale& locale,
                     Formatter& formatter)
    : site_(site), cache_(cache), clock_(clock), locale_(locale), formatter_(formatter) {}

// --- _QuillonPD ---------------------------------------------------------------------------

void QuillonPD::put_NTF(const Text& value) {
  Step([&] { f_.strNTF = value; });
  Step([&] { site_.SetCaption(Child::txtNTF, f_.strNTF); });
  Step([&] { site_.PropertyChanged(u"strNTF"); });
  Step([&] { AmbientChanged(kUserMode); });
}

Text QuillonPD::get_NTF() const {
  return Guarded(Text(), [&] { return f_.strNTF.empty() ? Text(u"Noeud:Tag.Field") : f_.strNTF; });
}

void QuillonPD::put_Formatage(const Text& value) {
  Step([&] { f_.strFormat = value; });
  Step([&] { site_.PropertyChanged(u"strFormat"); });
  Step([&] { AmbientChanged(kUserMode); });
}

Text QuillonPD::get_Formatage() const {
  return Guarded(Text(), [&] { return f_.strFormat; });
}

Text QuillonPD::get_Valeur() const {
  return Guarded(Text(), [&] { return FormatValueText(formatter_, f_.strValeur, f_.strFormat); });
}

void QuillonPD::put_Valeur(const Text&) {}

double QuillonPD::get_ValeurNombre() const {
  return Guarded(0.0, [&] { return ReadValueNumber(locale_, f_.strValeur); });
}

void QuillonPD::put_ValeurNombre(double) {}

Text QuillonPD::get_ValeurFormatee() const {
  return Guarded(Text(),
                 [&] { return FormatValueText(formatter_, f_.strValeurFormatee, f_.strFormat); });
}

void QuillonPD::put_ValeurFormatee(const Text&) {}

Text QuillonPD::get_HorodatageDernLect() const {
  return Guarded(Text(), [&] { return LastReadText(locale_, f_.dtmDateDernLect); });
}

void QuillonPD::put_HorodatageDernLect(const Text&) {}

Text QuillonPD::get_Qualite() const {
  return Guarded(Text(), [&] { return QualityText(f_.lngQualite); });
}

void QuillonPD::put_Qualite(const Text&) {}

void QuillonPD::put_Frequence_Rafraichissement(int32_t value) {
  f_.ePollTime = value;
  f_.lngPeriodeSec = CalculerPeriodeSec();
  Step([&] { site_.PropertyChanged(u"udtPollTime"); });
  Step([&] { AmbientChanged(kUserMode); });
  Step([&] { AfficherPollTime(); });
}

int32_t QuillonPD::get_Frequence_Rafraichissement() const { return f_.ePollTime; }

void QuillonPD::Rafraichir() {}

void QuillonPD::MaJNTF(const Text& strNewValeur, const Text& strNewValeurFormatee,
                       uint8_t bytNewQualite, double dtmNewDateDernLect) {
  Step([&] { f_.strValeur = strNewValeur; });
  Step([&] { f_.strValeurFormatee = strNewValeurFormatee; });
  f_.lngQualite = QualityFromByte(bytNewQualite);
  f_.dtmDateDernLect = dtmNewDateDernLect;
  for (const char16_t* name :
       {u"Valeur", u"ValeurNombre", u"ValeurFormatee", u"Qualite", u"HorodatageDernLect"}) {
    Step([&] { site_.PropertyChanged(name); });
  }
  Step([&] { site_.SetCaption(Child::txtValeur, f_.strValeur); });
  Step([&] { site_.SetCaption(Child::txtValeurFormatee, f_.strValeurFormatee); });
  Step([&] { site_.SetCaption(Child::txtHeureDernLect, get_HorodatageDernLect()); });
  Step([&] { AfficherQualite(); });
}

// --- Lifecycle ----------------------------------------------------------------------------

void QuillonPD::InitProperties() {
  Step([&] { f_.strNTF.clear(); });
  Step([&] { f_.strValeur = u"?"; });
  Step([&] { f_.strValeurFormatee = u"?"; });
  Step([&] { f_.strFormat.clear(); });
  f_.lngQualite = -2;
  f_.ePollTime = Minute_01;
  f_.lngPeriodeSec = PollTimeSeconds(Minute_01);
}

void QuillonPD::ReadProperties(PropertyBag& bag) {
  // A value that cannot take the setting's type leaves the setting as it was.
  Step([&] {
    Text ntf;
    if (BagToText(bag.Read(u"strNTF", Text()), locale_, &ntf)) f_.strNTF = std::move(ntf);
  });
  Step([&] {
    int32_t poll = 0;
    if (BagToInt32(bag.Read(u"udtPollTime", int32_t{Minute_01}), locale_, &poll)) {
      f_.ePollTime = poll;
    }
  });
  f_.lngPeriodeSec = CalculerPeriodeSec();
  Step([&] {
    Text format;
    if (BagToText(bag.Read(u"strFormat", Text()), locale_, &format))
      f_.strFormat = std::move(format);
  });
}

void QuillonPD::WriteProperties(PropertyBag& bag) {
  Step([&] { bag.Write(u"strNTF", f_.strNTF); });
  Step([&] { bag.Write(u"udtPollTime", f_.ePollTime); });
  Step([&] { bag.Write(u"strFormat", f_.strFormat); });
}

void QuillonPD::Show() {
  Step([&] { site_.SetCaption(Child::txtNTF, f_.strNTF); });
  Step([&] { AfficherPollTime(); });
  Step([&] { AmbientChanged(kUserMode); });
}

void QuillonPD::Hide() {
  Step([&] { site_.EnableTimer(false); });
  Step([&] { cache_.fctFermerCache(); });
}

void QuillonPD::AmbientChanged(const Text& name) {
  if (name != kUserMode) return;
  UserMode mode = UserMode::kUnavailable;
  Step([&] { mode = site_.AmbientUserMode(); });
  // A container that cannot report the mode gets the run-mode statements.
  if (mode != UserMode::kDesign) {
    Step([&] { f_.dtmDateDemarrage = clock_.Now(); });
    Step([&] { site_.EnableTimer(true); });
  } else {
    Step([&] { site_.EnableTimer(false); });
    f_.blnDemarrageTermine = false;
    Step([&] { cache_.fctFermerCache(); });
  }
}

// --- Refresh cycle ------------------------------------------------------------------------

void QuillonPD::timerRead_Timer() {
  bool due = false;
  Step([&] { due = ReadIsDue(); });
  if (!due) return;
  EnregCache record;
  Step([&] { record = LireEnregistrementNTF(f_.strNTF, f_.ePollTime); });
  // The timer path always reports quality 0 and the time of the tick.
  Step([&] { MaJNTF(record.strValeurLue, record.strValeurFormateeLue, 0, clock_.Now()); });
  Step([&] { UpdatePhase(record, clock_.Now()); });
  Step([&] { f_.dtmDateDernLect = clock_.Now(); });
}

// In the steady phase a read waits for the period to run out since the last read; a last
// read within half a day of the zero date counts as none. A last-read time whose sum with
// the period is no date ends the tick.
bool QuillonPD::ReadIsDue() {
  if (!f_.blnDemarrageTermine) return true;
  if (std::nearbyint(f_.dtmDateDernLect) == 0) return true;
  double due = 0;
  if (!AddSeconds(f_.dtmDateDernLect, f_.lngPeriodeSec, &due)) return false;
  return !Earlier(clock_.Now(), due);
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
EnregCache QuillonPD::LireEnregistrementNTF(const Text& ntf, int32_t poll_time) {
  EnregCache result;
  Step([&] { result = cache_.PointRecord(ntf); });
  Step([&] { cache_.fctDemanderLectNTF(ntf, poll_time); });
  return result;
}

int32_t QuillonPD::CalculerPeriodeSec() const { return PollTimeSeconds(f_.ePollTime); }

void QuillonPD::AfficherPollTime() {
  if (const PollTimeEntry* entry = FindPollTime(f_.ePollTime)) {
    site_.SetCaption(Child::txtPolltime, Text(entry->text));
  }
}

void QuillonPD::AfficherQualite() {
  const QualityEntry quality = QualityOf(f_.lngQualite);
  Step([&] { site_.SetForeColor(Child::txtStatut, kColourBlack); });
  Step([&] { site_.SetCaption(Child::txtStatut, Text(quality.text)); });
  if (quality.colour != kColourBlack) {
    Step([&] { site_.SetForeColor(Child::txtStatut, quality.colour); });
  }
}

}  // namespace quillon

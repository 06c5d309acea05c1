#include "control/control_environment.h"

#include "services/trace_log.h"

namespace quillon {
namespace {

// The seams with each empty one made the platform's own.
EnvironmentSeams Completed(EnvironmentSeams s) {
  if (!s.files) s.files = NewPlatformFileSystem();
  if (!s.clock) s.clock = NewPlatformClock();
  if (!s.code_page) s.code_page = NewPlatformCodePage();
  if (!s.registry_api) s.registry_api = NewPlatformRegistryApi();
  if (!s.echo) s.echo = NewPlatformEchoApi();
  if (!s.locale) s.locale = NewPlatformLocale();
  if (!s.formatter) s.formatter = NewPlatformFormatter(*s.locale);
  if (!s.trace_active) s.trace_active = TraceSwitchFromEnvironment();
  return s;
}

}  // namespace

ControlEnvironment::ControlEnvironment() : ControlEnvironment(EnvironmentSeams{}) {}

ControlEnvironment::ControlEnvironment(EnvironmentSeams seams)
    : seams_(Completed(std::move(seams))),
      registry_(
          std::make_unique<RegistrePD>(*seams_.registry_api, *seams_.code_page, *seams_.echo)),
      shared_(std::make_unique<SharedCache>(CacheEnvironment{
          *seams_.files, *seams_.clock, *seams_.code_page, *registry_, *seams_.trace_active})),
      ticks_(*seams_.clock) {}

ControlServices ControlEnvironment::services() {
  return {*shared_, *seams_.clock, *seams_.locale, *seams_.formatter, records_, ticks_};
}

}  // namespace quillon

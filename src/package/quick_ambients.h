// Ambient properties a container handed over with quick activation (QACONTAINER). They answer
// for the client site they came with, without asking that site again, until the container
// says that one of them changed (IOleControl::OnAmbientPropertyChange) or another site (or
// none) is set.
#pragma once

#include <windows.h>
// after windows.h
#include <olectl.h>
#include <oleidl.h>

#include <optional>

#include "control/control_site.h"
#include "package/face_paint.h"

namespace quillon {

struct QuickAmbients {
  IOleClientSite* site = nullptr;  // not counted: the object holds the site
  std::optional<UserMode> user_mode;
  std::optional<SurfaceColours> colours;  // ForeColor and BackColor

  // Forgets the value of the ambient property `id`; DISPID_UNKNOWN (several changed) forgets
  // every value.
  void Forget(DISPID id) {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) user_mode.reset();
    if (id == DISPID_AMBIENT_FORECOLOR || id == DISPID_AMBIENT_BACKCOLOR || id == DISPID_UNKNOWN)
      colours.reset();
  }
};

}  // namespace quillon

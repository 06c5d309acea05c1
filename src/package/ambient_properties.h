// The container's ambient properties that the control reads through the client site's
// IDispatch: "UserMode", ForeColor and BackColor. Called on the control's thread.
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>
#include <oleidl.h>

#include <cstdint>

#include "control/control_site.h"
#include "package/face_paint.h"

namespace quillon {

// The container's ambient "UserMode" through the client site's IDispatch: a site without
// IDispatch, a failed read or a value that is no boolean is a read that failed.
UserMode ReadAmbientUserMode(IOleClientSite* site) noexcept;

// The surface colours the container gives as its ambient ForeColor and BackColor: each one a
// site does not give, or that is no colour OleTranslateColor knows, is the system's.
SurfaceColours ReadAmbientColours(IOleClientSite* site) noexcept;
// An OLE_COLOR as the surface keeps it: a system colour as its index (so that it follows the
// colour scheme), any other colour as 0x00BBGGRR; `fallback` for one that is no colour.
uint32_t SurfaceColour(OLE_COLOR colour, uint32_t fallback) noexcept;

}  // namespace quillon

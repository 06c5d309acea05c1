// Identities of the classes the library serves beside QuillonPD. The identities of QuillonPD,
// its interfaces, its enumeration and its type library are those of HN_QuillonPD.idl; the
// classes here are no part of the type library, which stays as it is.
#pragma once

#include <windows.h>
// after windows.h
#include <objbase.h>
#include <oleidl.h>

namespace quillon {

// The property page "Point" (point reference, refresh period and format pattern), to which
// the control sends its properties NTF and Formatage (IPerPropertyBrowsing::MapPropertyToPage).
// {6BBED569-77E8-42EC-BFD1-B79B46F93B38}
inline constexpr CLSID CLSID_PointPage = {
    0x6bbed569, 0x77e8, 0x42ec, {0xbf, 0xd1, 0xb7, 0x9b, 0x46, 0xf9, 0x3b, 0x38}};

// Activate when visible, inside out, set the client site first, no linking, recompose on
// resize: the control's MiscStatus, as IOleObject::GetMiscStatus answers and as the class
// registers it (for every aspect and for the content aspect that containers ask).
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;

}  // namespace quillon

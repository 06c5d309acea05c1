// The COM object of a QuillonPD control, as the class factory creates it.
#pragma once

#include <windows.h>
// after windows.h
#include <objbase.h>

namespace quillon {

// Creates one control and returns its interface riid in *out. outer is the controlling
// unknown of an aggregate, or nullptr. Each live control holds one ModuleAddRef() (module.h)
// until its last release. Never throws.
HRESULT CreateQuillonPD(IUnknown* outer, REFIID riid, void** out);

}  // namespace quillon

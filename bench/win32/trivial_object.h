// The floor for the COM benchmark: the least an in-process object can do to be created
// through a class object, restored from a property bag and released. It answers
// IPersistPropertyBag alone and keeps the three settings of a QuillonPD as the bag gives
// them (two BSTRs and a 32-bit integer).
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>

namespace quillon {

// The class object of the trivial object; a static object whose references keep nothing
// alive. Single-threaded, like the benchmark.
IClassFactory& TrivialClassObject();

}  // namespace quillon

// The shape of each member of _QuillonPD (how it is invoked, how many arguments it takes and
// of which types), read once from its type information. IDispatch::Invoke checks calls
// against it before handing them to ITypeInfo::Invoke, so that a call with the wrong number
// of arguments, or an argument that cannot take its type, gets the same answer on every
// platform: DISP_E_BADPARAMCOUNT, and the argument's position in *puArgErr. Also the checks
// of a call's DISPPARAMS and the library's own copies of its arguments.
#pragma once

#include <windows.h>
// after windows.h
#include <oaidl.h>

#include <array>

namespace quillon {

struct MemberShape {
  DISPID id = 0;
  INVOKEKIND kind = INVOKE_FUNC;
  UINT params = 0;                 // the [retval] argument not counted
  std::array<VARTYPE, 4> types{};  // base type of each argument, first argument first
};

class MemberShapes {
 public:
  // Reads the members of an interface's type information.
  HRESULT Load(ITypeInfo* info);

  // The member that a call of `id` with `flags` reaches; nullptr when none does.
  const MemberShape* Find(DISPID id, WORD flags) const;

 private:
  std::array<MemberShape, 24> shapes_{};
  size_t count_ = 0;
};

// DISP_E_BADPARAMCOUNT when `params` does not carry exactly the member's arguments.
HRESULT CheckArgumentCount(const MemberShape& shape, const DISPPARAMS& params);

// The index in params.rgvarg of the first argument (in the member's order) that cannot be
// converted to its type; params.cArgs when every argument can.
UINT MismatchedArgument(const MemberShape& shape, const DISPPARAMS& params);

// E_INVALIDARG when `params` names arrays it does not carry (rgvarg NULL with arguments,
// rgdispidNamedArgs NULL with named arguments), DISP_E_BADPARAMCOUNT for more named arguments
// than arguments, S_OK otherwise. Reads nothing but the counts and the two pointers.
HRESULT CheckDispParams(const DISPPARAMS& params);

// Copies of a call's arguments that the library owns, handed to ITypeInfo::Invoke in place of
// the caller's: Invoke writes [in, out] arguments back into the array it is given, freeing
// what they held, and the caller's arguments and what they refer to stay the caller's. An
// argument passed by reference becomes a copy of the value it refers to; a variant that
// refers to a variant is followed one level, as COM allows. Used on one thread.
class ArgumentCopies {
 public:
  static constexpr UINT kMaxArguments = 4;

  ArgumentCopies() = default;
  ArgumentCopies(const ArgumentCopies&) = delete;
  ArgumentCopies& operator=(const ArgumentCopies&) = delete;
  ~ArgumentCopies();

  // Copies the arguments of `params` (at most kMaxArguments, checked by CheckDispParams):
  // S_OK, or DISP_E_TYPEMISMATCH with *bad the index in rgvarg of an argument that cannot be
  // copied (a reference deeper than one level, a NULL reference), E_OUTOFMEMORY, or
  // DISP_E_BADPARAMCOUNT for too many arguments.
  HRESULT Copy(const DISPPARAMS& params, UINT* bad);
  // `params` with its arguments replaced by the copies.
  DISPPARAMS Forwarded(const DISPPARAMS& params);

 private:
  VARIANT values_[kMaxArguments];
  UINT count_ = 0;
};

// ITypeInfo::Invoke of `shape`'s member on `object`, with what the hosts do differently
// evened out here and nowhere else. Under Wine, ITypeInfo::Invoke does not answer every call
// with the wrong number of arguments with DISP_E_BADPARAMCOUNT, nor point *puArgErr at an
// argument that does not convert, as Windows does; and any host writes [in, out] arguments
// back into the array it is given, freeing what they held. So the count is checked against
// the shape first, Invoke gets the library's copies of the arguments (by-reference arguments
// unwrapped one level, what the caller passed stays the caller's), and a type mismatch names
// its argument. On the calling thread.
HRESULT HostNeutralInvoke(ITypeInfo* info, void* object, const MemberShape& shape, WORD flags,
                          const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error,
                          UINT* arg_error);

}  // namespace quillon

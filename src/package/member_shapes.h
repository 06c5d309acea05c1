// The shape of each member of _QuillonPD (how it is invoked, how many arguments it takes and
// of which types), read once from its type information. IDispatch::Invoke checks calls
// against it before handing them to ITypeInfo::Invoke, so that a call with the wrong number
// of arguments, or an argument that cannot take its type, gets the same answer on every
// platform: DISP_E_BADPARAMCOUNT, and the argument's position in *puArgErr.
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

}  // namespace quillon

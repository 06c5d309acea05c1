// The control's property pages: the "Point" page alone.
#include "package/identities.h"
#include "package/quillon_object.h"

namespace quillon {

HRESULT QuillonObject::PropertyPages::GetPages(CAUUID* pages) {
  QUILLON_COM_TRACE("ISpecifyPropertyPages", GetPages, pages);
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  pages->pElems[0] = CLSID_PointPage;
  pages->cElems = 1;
  return S_OK;
}

}  // namespace quillon

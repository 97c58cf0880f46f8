// EnlargeBitmap as written: bilinear cells, the white read past the source's
// edge through the pixel accessor, every step in long double and rounded to
// float where the algorithm stores a 32-bit float. The oracle of the fast one.
#include "resample/literal/EnlargeBitmapLiteral.h"

#include <memory>
#include <utility>

namespace vizuvod {

using namespace enlarge_detail;

void EnlargeBitmapLiteral(std::shared_ptr<TBitmap>& V, const std::string& mode, float scaleX,
                          float scaleY, float width, float height, const TRowHooks& hooks) {
  const TBitmap& S = *V;
  const TEnlargeGeometry g = Geometry(mode, scaleX, scaleY, width, height, S.Width(), S.Height());
  auto E = std::make_shared<TBitmap>();
  E->SetWidth(g.EW);
  E->SetHeight(g.EH);
  FillLiteral(S, *E, g.scaleX, g.scaleY, hooks);
  V = std::move(E);
}

}  // namespace vizuvod

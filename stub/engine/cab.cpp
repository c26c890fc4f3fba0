#include "engine/cab.h"

namespace en {

void ExtractSupportCabinet() {
  // The FDI reader is not built yet; support file 2 stays as written.
}

}  // namespace en

// prepare_heap on Windows: nothing. The process heap already keeps freed blocks for reuse, and
// large pages need a privilege that a browser's child process does not hold.
#include "platform/heap.h"

namespace quarn::platform {

void prepare_heap(std::size_t) {}

}  // namespace quarn::platform

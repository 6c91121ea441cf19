// wipe_and_release: one walk over the tree that wipes each string and frees each node behind it,
// so that wiping costs little more than the release the tree would have anyway.
#include "json/wipe.h"

#include "base/wipe.h"

namespace quarn::json {

void wipe_and_release(Value& value) {
  switch (value.type()) {
    case Value::value_t::string:
      quarn::wipe_and_release(value.get_ref<std::string&>());
      break;
    case Value::value_t::array: {
      auto& elements = value.get_ref<Value::array_t&>();
      for (Value& element : elements) wipe_and_release(element);
      elements.clear();
      break;
    }
    case Value::value_t::object: {
      auto& members = value.get_ref<Value::object_t&>();
      for (auto& member : members) wipe_and_release(member.second);
      members.clear();
      break;
    }
    default:
      break;
  }
  value = nullptr;
}

}  // namespace quarn::json

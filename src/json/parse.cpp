// parse_strict: the strict grammar building a JSON value tree.
#include "json/parse.h"

#include <utility>
#include <vector>

namespace quarn::json {
namespace {

// Builds the tree top-down; `open_` holds the containers being filled, innermost last.
class TreeBuilder {
 public:
  explicit TreeBuilder(UniqueKeys unique) : unique_(unique) {}

  bool null() { return put(Value(nullptr)); }
  bool boolean(bool b) { return put(Value(b)); }
  bool number_unsigned(std::uint64_t v) { return put(Value(v)); }
  bool number_integer(std::int64_t v) { return put(Value(v)); }
  bool number_float(double v) { return put(Value(v)); }
  bool string(std::string& s) { return put(Value(std::move(s))); }
  bool start_object() { return open(Value::object()); }
  bool start_array() { return open(Value::array()); }
  bool key(std::string& k) {
    if (open_.size() == 1 && is_unique(k) && open_.back()->contains(k)) return false;
    key_ = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  Value take() { return std::move(root_); }

 private:
  // Stores a value where the parse stands and returns where it went.
  Value* place(Value v) {
    if (open_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    Value& parent = *open_.back();
    if (parent.is_array()) {
      parent.get_ref<Value::array_t&>().push_back(std::move(v));
      return &parent.get_ref<Value::array_t&>().back();
    }
    // Assignment replaces an earlier member of the same name: the last one wins.
    Value& slot = parent.get_ref<Value::object_t&>()[key_];
    slot = std::move(v);
    return &slot;
  }
  bool put(Value v) {
    place(std::move(v));
    return true;
  }
  bool open(Value container) {
    open_.push_back(place(std::move(container)));
    return true;
  }
  bool close() {
    open_.pop_back();
    return true;
  }

  bool is_unique(const std::string& k) const {
    for (std::string_view u : unique_.top_level) {
      if (u == k) return true;
    }
    return false;
  }

  UniqueKeys unique_;
  Value root_;
  std::vector<Value*> open_;
  std::string key_;
};

}  // namespace

std::optional<Value> parse_strict(std::string_view text, UniqueKeys unique) {
  TreeBuilder builder(unique);
  if (!sax_parse_strict(text, builder)) return std::nullopt;
  return builder.take();
}

}  // namespace quarn::json

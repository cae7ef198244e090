// An ordered list of names with one owned object per name, looked up without
// regard to ASCII case (the first of equal names wins), as the SysEx tables
// keep their units, groups, tables, ranges, types, extras, models and
// parameters. Not thread-safe.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace melko {

template <typename T>
class TSysExNamedList {
 public:
  int Count() const { return static_cast<int>(names_.size()); }
  const std::string& Name(int i) const { return names_[static_cast<size_t>(i)]; }
  T* Object(int i) const { return objects_[static_cast<size_t>(i)].get(); }
  const std::vector<std::string>& Names() const { return names_; }

  int IndexOf(std::string_view name) const {
    auto it = index_.find(Key(name));
    return it == index_.end() ? -1 : it->second;
  }

  int Add(std::string name, std::unique_ptr<T> object = nullptr) {
    int i = Count();
    index_.emplace(Key(name), i);
    names_.push_back(std::move(name));
    objects_.push_back(std::move(object));
    return i;
  }

  void Clear() {
    names_.clear();
    objects_.clear();
    index_.clear();
  }

 private:
  static std::string Key(std::string_view name) {
    std::string k(name);
    for (char& c : k) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return k;
  }

  std::vector<std::string> names_;
  std::vector<std::unique_ptr<T>> objects_;
  std::unordered_map<std::string, int> index_;
};

}  // namespace melko

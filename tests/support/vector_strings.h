#pragma once
#include <vector>

#include "memo/strings.h"

namespace vestrel::testing {

// The least a string list must say, over a vector; records its update-state changes.
class VectorStrings : public TStrings {
 public:
  TByteString Get(int32_t i) override { return items.at(static_cast<size_t>(i)); }
  int32_t GetCount() override { return static_cast<int32_t>(items.size()); }
  void Insert(int32_t i, TByteView s) override { items.insert(items.begin() + i, TByteString(s)); }
  void Delete(int32_t i) override { items.erase(items.begin() + i); }
  void Clear() override { items.clear(); }
  std::vector<TByteString> items;
  std::vector<bool> updates;

 protected:
  void SetUpdateState(bool updating) override { updates.push_back(updating); }
};

}  // namespace vestrel::testing

#pragma once
#include <cstdint>
#include <filesystem>

#include "memo/byte_string.h"

namespace vestrel {

class TStream;

// A list of 8-bit strings: the shape the memo's views and the keyword lists share. Derived
// lists say how to read, count, insert and delete items; the rest is built on that.
class TStrings {
 public:
  virtual ~TStrings() = default;

  virtual TByteString Get(int32_t index) = 0;
  virtual int32_t GetCount() = 0;
  virtual void Insert(int32_t index, TByteView s) = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Clear() = 0;
  virtual void Put(int32_t index, TByteView s);  // Delete, then Insert
  virtual int32_t Add(TByteView s);              // Insert at the end; the item's index

  // The items, each followed by CR LF; set: one item per line (CR, LF or CR LF ends a line).
  virtual TByteString GetTextStr();
  virtual void SetTextStr(TByteView text);

  // Replaces the items by those of source.
  virtual void Assign(TStrings& source);
  void AddStrings(TStrings& source);
  int32_t IndexOf(TByteView s);

  // Streams and files hold the text form; a load replaces the items.
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  void LoadFromFile(const std::filesystem::path& path);
  void SaveToFile(const std::filesystem::path& path);

  // Brackets a run of changes: SetUpdateState(true) when the first opens, (false) when the
  // last closes.
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }

  int32_t Count() { return GetCount(); }

 protected:
  virtual void SetUpdateState(bool updating);

 private:
  int32_t updateCount_ = 0;
};

}  // namespace vestrel

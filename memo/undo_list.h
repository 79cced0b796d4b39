#pragma once
#include <cstdint>
#include <deque>

#include "memo/byte_string.h"

namespace vestrel {

class TStream;

// One undo step: the text an edit replaced, and where the text that replaced it lies.
struct TUndoRecord {
  int32_t Start = 0;  // where the edit began
  int32_t Stop = 0;   // where the inserted text ends
  int32_t Group = 0;  // the memo's update depth when it was recorded
  TByteString Text;   // what the edit replaced
  // What the byte accounting counts: the record's block in an undo stream (three int32, the
  // text and its NUL).
  int64_t Size() const { return static_cast<int64_t>(Text.size()) + kHeadSize + 1; }
  static constexpr int64_t kHeadSize = 12;
};

// The records of a memo's undo list, oldest first. Records 0..Index-1 can be undone, the rest
// redone. Dropping the oldest record moves no other.
class TUndoList {
 public:
  int32_t Count() const { return static_cast<int32_t>(records_.size()); }
  int32_t Index() const { return index_; }
  void SetIndex(int32_t i);  // clamped to 0..Count
  int64_t Bytes() const { return bytes_; }
  const TUndoRecord& operator[](int32_t i) const;  // ERangeError outside 0..Count-1
  const TUndoRecord& Last() const { return (*this)[Count() - 1]; }

  void Clear();
  void Remove(int32_t i);  // the index follows when i lies below it
  void RemoveOldest() { Remove(0); }
  void RemoveLast() { Remove(Count() - 1); }
  void RemoveRedo();  // records Index..Count-1
  // Appends after the last record; the index goes past it.
  void Append(TUndoRecord r);
  void Replace(int32_t i, TUndoRecord r);
  void SetStop(int32_t i, int32_t stop);

  // At most maxLevel records at or below the index, none above max(index, maxLevel).
  void TrimToLevel(int32_t maxLevel);
  // Redo records first, then the oldest, until the bytes held fit maxSpace.
  void TrimToSpace(int32_t maxSpace);

  // Little-endian: index, count, then per record its size and block (start, stop, group,
  // text, NUL).
  void Save(TStream& stream) const;
  // Replaces the list by what the stream holds. Every size is checked against what is left of
  // the stream before anything is allocated; on any fault the list is left empty and
  // EStreamError raised.
  void Load(TStream& stream);

 private:
  std::deque<TUndoRecord> records_;
  int32_t index_ = 0;
  int64_t bytes_ = 0;
};

}  // namespace vestrel

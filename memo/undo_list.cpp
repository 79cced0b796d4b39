#include "memo/undo_list.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/le_bytes.h"
#include "memo/memo_errors.h"

namespace vestrel {
namespace {

constexpr const char* kReadError = "Stream read error";
constexpr const char* kBadUndo = "Invalid undo data";

void ReadExact(TStream& s, unsigned char* buf, size_t n) {
  size_t got = 0;
  while (got < n) {
    const size_t k = s.Read(buf + got, n - got);
    if (k == 0) throw EStreamError(kReadError);
    got += k;
  }
}

int32_t ReadInt32(TStream& s) {
  unsigned char b[4];
  ReadExact(s, b, 4);
  const unsigned char* p = b;
  return static_cast<int32_t>(Get32(p));
}

void WriteInt32(TStream& s, int32_t v) {
  unsigned char b[4];
  unsigned char* p = b;
  Put32(p, static_cast<uint32_t>(v));
  s.Write(b, 4);
}

}  // namespace

void TUndoList::SetIndex(int32_t i) {
  index_ = std::clamp(i, 0, Count());
}

const TUndoRecord& TUndoList::operator[](int32_t i) const {
  if (i < 0 || i >= Count()) throw ERangeError();
  return records_[static_cast<size_t>(i)];
}

void TUndoList::Clear() {
  records_.clear();
  index_ = 0;
  bytes_ = 0;
}

void TUndoList::Remove(int32_t i) {
  if (i < 0 || i >= Count()) throw ERangeError();
  bytes_ -= records_[static_cast<size_t>(i)].Size();
  records_.erase(records_.begin() + i);
  if (i < index_) --index_;
}

void TUndoList::RemoveRedo() {
  while (Count() > index_) RemoveLast();
}

void TUndoList::Append(TUndoRecord r) {
  RemoveRedo();
  bytes_ += r.Size();
  records_.push_back(std::move(r));
  index_ = Count();
}

void TUndoList::Replace(int32_t i, TUndoRecord r) {
  if (i < 0 || i >= Count()) throw ERangeError();
  TUndoRecord& old = records_[static_cast<size_t>(i)];
  bytes_ += r.Size() - old.Size();
  old = std::move(r);
}

void TUndoList::SetStop(int32_t i, int32_t stop) {
  if (i < 0 || i >= Count()) throw ERangeError();
  records_[static_cast<size_t>(i)].Stop = stop;
}

void TUndoList::TrimToLevel(int32_t maxLevel) {
  if (maxLevel < 0) return;
  while (Count() > std::max(index_, maxLevel)) RemoveLast();
  while (index_ > maxLevel) RemoveOldest();
}

void TUndoList::TrimToSpace(int32_t maxSpace) {
  if (maxSpace <= 0) return;
  while (bytes_ > maxSpace && Count() > index_) RemoveLast();
  while (bytes_ > maxSpace && Count() > 0) RemoveOldest();
}

void TUndoList::Save(TStream& stream) const {
  WriteInt32(stream, index_);
  WriteInt32(stream, Count());
  std::vector<unsigned char> block;
  for (const TUndoRecord& r : records_) {
    WriteInt32(stream, static_cast<int32_t>(r.Size()));
    block.resize(static_cast<size_t>(r.Size()));
    unsigned char* p = block.data();
    Put32(p, static_cast<uint32_t>(r.Start));
    Put32(p, static_cast<uint32_t>(r.Stop));
    Put32(p, static_cast<uint32_t>(r.Group));
    std::memcpy(p, r.Text.data(), r.Text.size());
    block.back() = 0;
    stream.Write(block.data(), block.size());
  }
}

void TUndoList::Load(TStream& stream) {
  Clear();
  try {
    const int32_t index = ReadInt32(stream);
    const int32_t count = ReadInt32(stream);
    int64_t left = stream.Size() - stream.Position();
    // Each record takes at least its size field and a block of 13 bytes.
    constexpr int64_t kLeast = 4 + TUndoRecord::kHeadSize + 1;
    if (count < 0 || index < 0 || index > count || int64_t{count} * kLeast > left)
      throw EStreamError(kBadUndo);
    std::vector<unsigned char> block;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t size = ReadInt32(stream);
      left -= 4;
      if (size < TUndoRecord::kHeadSize + 1 || size > left) throw EStreamError(kBadUndo);
      block.resize(static_cast<size_t>(size));
      ReadExact(stream, block.data(), block.size());
      left -= size;
      const unsigned char* p = block.data();
      TUndoRecord r;
      r.Start = static_cast<int32_t>(Get32(p));
      r.Stop = static_cast<int32_t>(Get32(p));
      r.Group = static_cast<int32_t>(Get32(p));
      const size_t textLen = block.size() - static_cast<size_t>(TUndoRecord::kHeadSize) - 1;
      // The text ends at the block's last byte, its NUL, and holds none before it.
      if (block.back() != 0 || std::memchr(p, 0, textLen)) throw EStreamError(kBadUndo);
      r.Text.assign(p, textLen);
      bytes_ += r.Size();
      records_.push_back(std::move(r));
    }
    index_ = index;
  } catch (...) {
    Clear();
    throw;
  }
}

}  // namespace vestrel

#include "memo/strings.h"

#include <vector>

#include "memo/byte_stream.h"

namespace vestrel {

void TStrings::Put(int32_t index, TByteView s) {
  Delete(index);
  Insert(index, s);
}

int32_t TStrings::Add(TByteView s) {
  const int32_t at = GetCount();
  Insert(at, s);
  return at;
}

TByteString TStrings::GetTextStr() {
  TByteString t;
  const int32_t n = GetCount();
  for (int32_t i = 0; i < n; ++i) {
    t += Get(i);
    t += ToBytes("\r\n");
  }
  return t;
}

void TStrings::SetTextStr(TByteView text) {
  BeginUpdate();
  try {
    Clear();
    size_t i = 0;
    while (i < text.size()) {
      size_t j = i;
      while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
      Add(text.substr(i, j - i));
      if (j < text.size() && text[j] == '\r') ++j;
      if (j < text.size() && text[j] == '\n') ++j;
      i = j;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::AddStrings(TStrings& source) {
  const int32_t n = source.GetCount();
  for (int32_t i = 0; i < n; ++i) Add(source.Get(i));
}

void TStrings::Assign(TStrings& source) {
  if (&source == this) return;
  BeginUpdate();
  try {
    Clear();
    AddStrings(source);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int32_t TStrings::IndexOf(TByteView s) {
  const int32_t n = GetCount();
  for (int32_t i = 0; i < n; ++i)
    if (Get(i) == s) return i;
  return -1;
}

void TStrings::LoadFromStream(TStream& stream) {
  TByteString text;
  std::vector<unsigned char> block(65536);
  for (size_t got; (got = stream.Read(block.data(), block.size())) > 0;) text.append(block.data(), got);
  SetTextStr(text);
}

void TStrings::SaveToStream(TStream& stream) {
  const TByteString text = GetTextStr();
  stream.Write(text.data(), text.size());
}

void TStrings::LoadFromFile(const std::filesystem::path& path) {
  TFileStream f(path, TFileStream::fmOpenRead);
  LoadFromStream(f);
}

void TStrings::SaveToFile(const std::filesystem::path& path) {
  TFileStream f(path, TFileStream::fmCreate);
  SaveToStream(f);
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

}  // namespace vestrel

#include "memo/styled_memo_strings.h"

#include <vector>

#include "memo/byte_stream.h"
#include "memo/code_pages.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

const TByteString kBreak = ToBytes("\r\n");

TByteString Joined(TByteView a, TByteView b) {
  TByteString s(a);
  s.append(b);
  return s;
}

}  // namespace

// ---- the shared part ----

TByteString TStyledMemoStrings::GetTextStr() {
  return memo_.GetTextPart(0, memo_.getCharCount());
}

void TStyledMemoStrings::SetTextStr(TByteView text) {
  memo_.SetTextBuf(text);
}

void TStyledMemoStrings::Clear() {
  memo_.Clear();
}

void TStyledMemoStrings::Assign(TStrings& source) {
  if (&source == this) return;
  TMemoryStream m;
  if (auto* other = dynamic_cast<TStyledMemoStrings*>(&source))
    other->Memo().SaveToStream(m);
  else
    source.SaveToStream(m);
  m.SetPosition(0);
  memo_.LoadFromStream(m);
}

void TStyledMemoStrings::LoadFromStream(TStream& stream) {
  memo_.LoadFromStream(stream);
}

void TStyledMemoStrings::SaveToStream(TStream& stream) {
  const TByteString text = GetTextStr();
  stream.Write(text.data(), text.size());
}

void TStyledMemoStrings::SetUpdateState(bool updating) {
  if (updating)
    memo_.BeginUpdate();
  else
    memo_.EndUpdate();
}

std::u16string TStyledMemoStrings::GetItemsW(int32_t index) {
  return ToUtf16(Get(index), memo_.CodePage());
}

void TStyledMemoStrings::SetItemsW(int32_t index, std::u16string_view s) {
  Put(index, FromUtf16(s, memo_.CodePage()));
}

void TStyledMemoStrings::InsertW(int32_t index, std::u16string_view s) {
  Insert(index, FromUtf16(s, memo_.CodePage()));
}

int32_t TStyledMemoStrings::AddW(std::u16string_view s) {
  const int32_t at = GetCount();
  InsertW(at, s);
  return at;
}

void TStyledMemoStrings::LoadFromStreamW(TStream& stream, bool bigEndian) {
  const int64_t chars = std::max<int64_t>(stream.Size() - stream.Position(), 0) / 2;
  std::vector<unsigned char> bytes(static_cast<size_t>(chars) * 2);
  size_t got = 0;
  while (got < bytes.size()) {
    const size_t n = stream.Read(bytes.data() + got, bytes.size() - got);
    if (n == 0) break;
    got += n;
  }
  std::u16string wide(got / 2, u'\0');
  for (size_t i = 0; i < wide.size(); ++i) {
    const unsigned char lo = bytes[2 * i + (bigEndian ? 1 : 0)], hi = bytes[2 * i + (bigEndian ? 0 : 1)];
    wide[i] = static_cast<char16_t>(lo | (hi << 8));
  }
  const TByteString text = FromUtf16(wide, memo_.CodePage());
  TMemoryStream m(std::vector<unsigned char>(text.begin(), text.end()));
  memo_.LoadFromStream(m);
}

void TStyledMemoStrings::SaveToStreamW(TStream& stream) {
  const std::u16string wide = ToUtf16(memo_.GetTextContent(), memo_.CodePage());
  std::vector<unsigned char> bytes(wide.size() * 2);
  for (size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<unsigned char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(wide[i] >> 8);
  }
  stream.Write(bytes.data(), bytes.size());
}

void TStyledMemoStrings::LoadFromFileW(const std::filesystem::path& path) {
  TFileStream f(path, TFileStream::fmOpenRead);
  LoadFromStreamW(f);
}

void TStyledMemoStrings::SaveToFileW(const std::filesystem::path& path) {
  TFileStream f(path, TFileStream::fmCreate);
  SaveToStreamW(f);
}

void TStyledMemoStrings::LoadFromFileAuto(const std::filesystem::path& path) {
  TFileStream f(path, TFileStream::fmOpenRead);
  LoadFromStreamAuto(f);
}

// Two bytes are enough for a signature: an empty text saved with one is exactly FF FE.
void TStyledMemoStrings::LoadFromStreamAuto(TStream& stream) {
  const int64_t start = stream.Position();
  unsigned char sig[2] = {0, 0};
  const bool two = stream.Size() - start >= 2 && stream.Read(sig, 2) == 2;
  if (two && sig[0] == 0xFF && sig[1] == 0xFE) {
    LoadFromStreamW(stream, false);
  } else if (two && sig[0] == 0xFE && sig[1] == 0xFF) {
    LoadFromStreamW(stream, true);
  } else {
    stream.SetPosition(start);
    LoadFromStream(stream);
  }
}

void TStyledMemoStrings::SaveToFileWithSig(const std::filesystem::path& path) {
  TFileStream f(path, TFileStream::fmCreate);
  static const unsigned char kSig[2] = {0xFF, 0xFE};
  f.Write(kSig, 2);
  SaveToStreamW(f);
}

// ---- paragraphs ----

TByteString TStyledParaStrings::Get(int32_t index) {
  return Memo().getParString(index);
}

void TStyledParaStrings::Put(int32_t index, TByteView s) {
  Memo().setParString(index, s);
}

int32_t TStyledParaStrings::GetCount() {
  TStyledMemo& m = Memo();
  const int32_t n = m.GetParCount();
  return m.Store()[n - 1].Length() == 0 ? n - 1 : n;
}

int32_t TStyledParaStrings::Add(TByteView s) {
  TStyledMemo& m = Memo();
  const int32_t last = m.GetParCount() - 1;
  m.setSelStart(m.getCharCount());
  if (m.Store()[last].Length() > 0)
    m.SetSelTextBuf(Joined(kBreak, s));
  else
    m.SetSelTextBuf(Joined(s, kBreak));
  return GetCount() - 1;
}

void TStyledParaStrings::Delete(int32_t index) {
  TStyledMemo& m = Memo();
  const int32_t start = m.getParsOffset(index);
  const int32_t length = m.Store()[index].Length() + (index < m.GetParCount() - 1 ? 2 : 0);
  m.setSelStart(start);
  m.setSelLength(length);
  m.ClearSelection();
}

void TStyledParaStrings::Insert(int32_t index, TByteView s) {
  TStyledMemo& m = Memo();
  if (index < m.GetParCount()) {
    m.setSelStart(m.getParsOffset(index));
    m.SetSelTextBuf(Joined(s, kBreak));
  } else {
    m.setSelStart(m.getCharCount());
    m.SetSelTextBuf(Joined(kBreak, s));
  }
}

// ---- display lines ----

TByteString TStyledLinesStrings::Get(int32_t index) {
  return Memo().getLineString(index);
}

int32_t TStyledLinesStrings::GetCount() {
  TStyledMemo& m = Memo();
  const int32_t n = m.getTotalLineCount();
  return m.Store()[m.GetParCount() - 1].Length() == 0 ? n - 1 : n;
}

void TStyledLinesStrings::Put(int32_t index, TByteView s) {
  TStyledMemo& m = Memo();
  int32_t start = 0, stop = 0;
  bool ends = false;
  if (index >= m.getTotalLineCount() || !m.GetLineBounds(index, start, stop, ends)) return;
  m.setSelStart(start);
  m.setSelLength(stop - start);
  m.SetSelTextBuf(s);
}

int32_t TStyledLinesStrings::Add(TByteView s) {
  TStyledMemo& m = Memo();
  m.Paragraphs().Add(s);
  m.setSelStart(m.getCharCount());
  return GetCount() - 1;
}

void TStyledLinesStrings::Delete(int32_t index) {
  TStyledMemo& m = Memo();
  int32_t start = 0, stop = 0;
  bool ends = false;
  if (index >= GetCount() || !m.GetLineBounds(index, start, stop, ends)) return;
  if (ends && stop < m.getCharCount()) stop += 2;  // the break goes with its paragraph's last line
  m.setSelStart(start);
  m.setSelLength(stop - start);
  m.ClearSelection();
}

void TStyledLinesStrings::Insert(int32_t index, TByteView s) {
  TStyledMemo& m = Memo();
  const int32_t lines = m.getTotalLineCount();
  if (index < 0 || index > lines) return;
  int32_t start = 0, stop = 0;
  bool ends = false;
  if (index < lines && m.GetLineBounds(index, start, stop, ends)) {
    m.setSelStart(start);
    m.SetSelTextBuf(Joined(s, kBreak));
  } else {
    m.setSelStart(m.getCharCount());
    m.SetSelTextBuf(Joined(kBreak, s));
  }
}

}  // namespace vestrel

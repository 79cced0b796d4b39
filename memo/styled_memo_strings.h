#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "memo/strings.h"

namespace vestrel {

class TStyledMemo;

// A memo's text as a string list. Every write goes through the memo's selection and edit path,
// so it behaves as typing does. Unicode meets the 8-bit text through the code page of the
// memo font's character set. (The windows are built in code: there is no form-resource form.)
class TStyledMemoStrings : public TStrings {
 public:
  explicit TStyledMemoStrings(TStyledMemo& memo) : memo_(memo) {}
  TStyledMemo& Memo() { return memo_; }

  TByteString GetTextStr() override;  // the whole text, breaks as CR LF
  void SetTextStr(TByteView text) override;
  void Clear() override;
  // From another memo's view the styles come along (through its SaveToStream); from any other
  // list through its stream form.
  void Assign(TStrings& source) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;  // the text as it is, no terminator

  virtual std::u16string GetItemsW(int32_t index);
  virtual void SetItemsW(int32_t index, std::u16string_view s);
  virtual void InsertW(int32_t index, std::u16string_view s);
  int32_t AddW(std::u16string_view s);

  // UTF-16 without a signature: the rest of the stream, little-endian unless said otherwise.
  void LoadFromStreamW(TStream& stream, bool bigEndian = false);
  void SaveToStreamW(TStream& stream);  // little-endian
  void LoadFromFileW(const std::filesystem::path& path);
  void SaveToFileW(const std::filesystem::path& path);
  // FF FE starts little-endian UTF-16, FE FF big-endian; anything else is 8-bit text.
  void LoadFromFileAuto(const std::filesystem::path& path);
  void LoadFromStreamAuto(TStream& stream);                   // the same from a stream's start
  void SaveToFileWithSig(const std::filesystem::path& path);  // FF FE, then little-endian UTF-16

 protected:
  void SetUpdateState(bool updating) override;

 private:
  TStyledMemo& memo_;
};

// Items are paragraphs, without their breaks; a text ending in a break has no empty last item.
class TStyledParaStrings : public TStyledMemoStrings {
 public:
  using TStyledMemoStrings::TStyledMemoStrings;
  TByteString Get(int32_t index) override;
  void Put(int32_t index, TByteView s) override;
  int32_t GetCount() override;
  int32_t Add(TByteView s) override;  // keeps a text that ends in a break ending in one
  void Delete(int32_t index) override;
  void Insert(int32_t index, TByteView s) override;
};

// Items are display lines (paragraphs when lines never wrap).
class TStyledLinesStrings : public TStyledMemoStrings {
 public:
  using TStyledMemoStrings::TStyledMemoStrings;
  TByteString Get(int32_t index) override;
  void Put(int32_t index, TByteView s) override;  // ignored beyond the lines
  int32_t GetCount() override;
  int32_t Add(TByteView s) override;
  void Delete(
      int32_t index) override;  // ignored beyond the lines; takes the break of a paragraph's last line
  void Insert(int32_t index, TByteView s) override;
};

}  // namespace vestrel

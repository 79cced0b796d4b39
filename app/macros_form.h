#pragma once
#include <array>

#include "app/macro_edits.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vestrel {

class TRxForm;

// "Edit Macros": the 37 macro texts (Esc, F1..F12, Ctrl+F1..F12, Alt+F1..F12) and the 36
// captions of the macro buttons in three columns of twelve keys. Created hidden at start-up; it
// keeps its last contents, and only "OK", "Apply" and "Save" copy them to the macro table.
class TMacrosForm : public MacroEditorDialog {
 public:
  explicit TMacrosForm(QWidget* parent = nullptr);

  // The edits from the window's macro table, then shown on top.
  void Edit(TRxForm& form);
  // Macro texts 0..36 and button names 1..36 from the edits; the buttons' captions and hints follow.
  void Apply();
  void OkButtonClick();
  void ApplyButtonClick();
  void SaveButtonClick();
  // The edits' width for a form width: 10 below 166, else (width - 135) / 3.
  static int EditWidth(int formWidth);
  void FormResize();

  static constexpr int kDesignWidth = 735;  // edits 200 wide
  static constexpr int kDesignHeight = 626;

  // MacroEdit[0..36]; NameEdit[1..36] and KeyLabel[1..36] (entry 0 is the Esc label's place).
  std::array<QPlainTextEdit*, 37> MacroEdit{};
  std::array<QLineEdit*, 37> NameEdit{};
  std::array<QLabel*, 37> KeyLabel{};
  std::array<QLabel*, 3> ColumnLabel{};
  QPushButton* OkButton = nullptr;
  QPushButton* ApplyButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  TRxForm* form_ = nullptr;
  std::array<ByteEdit, 37> macroBytes_;
  std::array<ByteEdit, 37> nameBytes_;
};

}  // namespace vestrel

#pragma once
#include <array>

#include "app/macro_edits.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vestrel {

class TRxForm;

// The editor of the three macros of one function key (plain, Ctrl, Alt): a caption and a
// macro text each. Created hidden at start-up; a right click on a macro button fills and shows it.
class TFastMacrosForm : public MacroEditorDialog {
 public:
  explicit TFastMacrosForm(QWidget* parent = nullptr);

  // The three pairs of the function key of button n (1..36) from the window's macro table, shown
  // on top with the focus in the macro edit of button n's bank.
  void Edit(TRxForm& form, int n);
  // Macros and button names k, k + 12, k + 24 from the edits; the three buttons take their captions.
  void Apply();
  void OkButtonClick();
  // As "OK", and those three pairs go into the settings file first.
  void SaveButtonClick();
  // The macro edits' width for a form width: 10 below 76, else width - caption edit width - 23.
  static int MacroEditWidth(int formWidth);
  void FormResize();

  static constexpr int kNameEditWidth = 43;  // the macro edits grow on from 10 at a width of 76
  static constexpr int kDesignWidth = 560;
  static constexpr int kDesignHeight = 248;

  // Caption and macro of the function key (first), Ctrl+ (second) and Alt+ (third).
  QLineEdit* FBNEdit1 = nullptr;
  QLineEdit* FBNEdit2 = nullptr;
  QLineEdit* FBNEdit3 = nullptr;
  QPlainTextEdit* FastMacroEdit1 = nullptr;
  QPlainTextEdit* FastMacroEdit2 = nullptr;
  QPlainTextEdit* FastMacroEdit3 = nullptr;
  std::array<QLabel*, 3> KeyLabel{};
  QPushButton* OkButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* CancelButton = nullptr;
  // The function key being edited, 1..12.
  int FunctionKey = 0;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  std::array<QLineEdit*, 3> Names() const { return {FBNEdit1, FBNEdit2, FBNEdit3}; }
  std::array<QPlainTextEdit*, 3> Macros() const { return {FastMacroEdit1, FastMacroEdit2, FastMacroEdit3}; }

  TRxForm* form_ = nullptr;
  std::array<ByteEdit, 3> macroBytes_;
  std::array<ByteEdit, 3> nameBytes_;
};

}  // namespace vestrel

// The two macro editors as the main window sees them: "Edit Macros", the code page of macro
// texts and captions, the buttons after an edit, and the fast editor's save.
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "memo/code_pages.h"

namespace vestrel {

int TRxForm::MacroCodePage() const { return CodePageOfCharset(settings_.RxFont.FontCharset); }

void TRxForm::EditMacroses1Click() {
  if (macrosForm_ != nullptr) macrosForm_->Edit(*this);
}

void TRxForm::MacroTableEdited() {
  ShowMacroCaptions();
  ShowMacroBank(HeldModifiers());
  UpdateMacroButtonHints();
}

bool TRxForm::SaveMacroKeys(std::span<const int> numbers) {
  const std::string error = settingsPart_.SaveMacroKeys(CommandLine.settingsPath, macroTable_, numbers);
  if (!error.empty()) ShowSaveFailure(error);
  return error.empty();
}

}  // namespace vestrel

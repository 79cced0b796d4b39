#include "app/macro_table.h"

namespace vestrel {

void TMacroTable::SetDefaultMacros() {
  // "~[lf]" is a line break when the macro runs; XX0XXX is the call a first start has. A macro
  // that ends its transmission ends with "`[rx]", which acts once the text before it is sent
  // ("~[rx]" would queue the end at once, before the text); Esc's ends at once on purpose.
  Macro[0] = "~[rx]";
  Macro[1] =
      "~[tx]~[lf]CQ CQ CQ de XX0XXX XX0XXX XX0XXX~[lf]CQ CQ CQ de XX0XXX XX0XXX XX0XXX pse k~[lf]`[rx]";
  Macro[2] = "~[tx]~[lf]~[ec] ~[ec] de XX0XXX XX0XXX~[lf]";
  Macro[3] = "~[lf]~[ec] de XX0XXX kn~[lf]`[rx]";
  Macro[4] = "~[lf]Good day ~[en], thanks for the call. Your RST is ~[er] ~[er].~[lf]";
  Macro[5] = "~[lf]How do you copy? ~[ec] de XX0XXX kn~[lf]`[rx]";
  Macro[6] = "~[boff]~[tx]~[lf]QRZ? de XX0XXX XX0XXX k~[lf]`[rx]";
  Macro[7] = "~[boff]~[tx]~[lf]~[ec] de XX0XXX: QRL, sorry. 73~[lf]`[rx]";
  Macro[8] = "~[lf]Thanks for the QSO, 73 and good DX. ~[ec] de XX0XXX sk~[lf]`[rx]";
  Macro[9] = "~[lf]Software: Vestrel 3.30, a sound-card modem terminal.~[lf]";
  Macro[10] = "~[tx]~[lf]RYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRY~[lf]`[rx]";
  Macro[11] = "~[crx]";
  Macro[12] = "~[ce]";
  Macro[13] = "~[tu] UTC ~[du]";
  for (int k = 2; k <= 12; ++k) Macro[12 + k] = "Macro for Ctrl-" + std::to_string(k);
  Macro[16] = "~[tx]~[lf]~[ec] de XX0XXX 599 ~[er] ~[er] k~[lf]`[rx]";
  for (int k = 1; k <= 12; ++k) Macro[24 + k] = "Macro for Alt-" + std::to_string(k);
  Macro[30] += ": local time ~[tl]";
}

}  // namespace vestrel

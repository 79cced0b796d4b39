#pragma once
#include "memo/dyn_info.h"
#include "memo/paragraphs_list.h"
#include "memo/styled_navigator.h"

namespace vestrel {

// Lays an attribute over the text between two navigators (either order): attr made active, or
// no attribute at all when not active. Every attribute boundary inside the range goes; the
// text after it keeps the attribute it had; the paragraphs of the range lose their layout,
// and with markModified the store's modified range covers them. An empty range changes
// nothing. The navigators stay where they were.
void SetDynStyleP(TParagraphsList& list, TStyledNavigator& startNav, TStyledNavigator& stopNav, bool markModified,
                  bool active, const DynInfoRec& attr);

}  // namespace vestrel

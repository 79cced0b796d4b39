#pragma once
#include <cstdint>
#include <functional>

#include "memo/dyn_info.h"
#include "memo/paragraphs_list.h"
#include "memo/styled_navigator.h"

namespace vestrel {

// Lays an attribute over the text between two navigators (either order): the text after the
// range keeps the attribute it had, the paragraphs of the range lose their layout. Active: attr
// with the active bit; else the range takes no attribute. A collapsible attribute nests one
// collapse level inside the one around it. With markModified the store's modified range takes
// the paragraphs in. An empty range changes nothing.
void SetDynStyleP(TParagraphsList& list, TStyledNavigator& startNav, TStyledNavigator& stopNav,
                  bool markModified, bool active, const DynInfoRec& attr);

// ---- collapsing by attributes ----
// A run of collapse level L: from the first record of level L or deeper to the first record of
// a lower level after it. The paragraphs after the run's first, up to the one its end lies in
// (unless the end is that paragraph's start), are hidden while the run is collapsed.

// Collapses or expands the run of the record in effect at record number dynNb of paragraph par
// (0: the paragraph's start attribute, k: its attribute k-1). parse(i) is called before the
// walk reads paragraph i beyond the store's parsed range. True when anything changed.
bool CollapseExpandDynRun(TParagraphsList& list, int32_t par, int32_t dynNb, bool collapse,
                          const std::function<void(int32_t)>& parse);

// Expands every collapsed run that holds the character at offset of paragraph par, the
// innermost first. True when anything changed.
bool ExpandDynRunsAround(TParagraphsList& list, int32_t par, int32_t offset);

// Derives which of paragraphs first..last collapsed runs hide, and relays their lines.
void RelayDynHidden(TParagraphsList& list, int32_t first, int32_t last);

}  // namespace vestrel

#pragma once

#include "casing/Case.h"

class QTreeWidget;

// The list conversion over the preview list: every top-level item's text (its
// first column) rewritten in place with the mode's preview rule. The number,
// order and selection of the items stay as they are.
void ConvertPreviewList(QTreeWidget *list, Case::Mode mode);

#pragma once

#include "casing/Case.h"
#include "casing/WordRules.h"

class QTreeWidget;

// The list conversion over the preview list after a batch change: every
// top-level item's text (its first column) rewritten in place with the rule the
// values were written to the database with, so the preview shows what the
// database now holds. The number, order and selection of the items stay as they are.
namespace PreviewListConversion {

void convert(QTreeWidget *list, Case::Mode mode, const WordRules *wordRules = nullptr);

} // namespace PreviewListConversion

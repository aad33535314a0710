#pragma once

#include <QString>

// Windows code pages, as SQL Server stores char, varchar and text columns in them.
namespace CodePage {

constexpr unsigned Utf8 = 65001;

// True when every character of the text is stored unchanged in the code page:
// no '?' in its place and no look-alike ("best fit") character. Code page 0 and
// UTF-8 hold everything; plain ASCII survives every code page. A code page this
// system cannot convert holds only ASCII, so nothing else is written through it.
bool survives(const QString &text, unsigned codePage);

} // namespace CodePage

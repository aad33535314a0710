#pragma once

#include <QString>

// The application title: the product title cut to at most 40 characters at a
// blank. It captions every message box that names no caption of its own.
namespace AppTitle {

// Sets the title and the application's name from the product title.
void set();
QString titleFor(const QString &productTitle);
// The title set, or the whole product title before it is set.
QString text();

} // namespace AppTitle

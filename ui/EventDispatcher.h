#pragma once

// The event loop's dispatcher, chosen before the application is made.
namespace EventDispatcher {

// A change in the window lets the event loop run once for every record it
// visits: Qt's own dispatcher does that in about a third of the time GLib's
// takes. GLib's stays where something may need it (the GTK platform theme,
// whose dialogs run on it), and where QT_NO_GLIB is set already. Call before
// the application is made.
void preferQtOwn();

} // namespace EventDispatcher

#pragma once

#include <QPalette>
#include <QPointer>
#include <QString>
#include <QStyle>

class QWidget;

// The program's skin engine. A skin file is a Qt style sheet with two additions:
//
//   - its first line is the header "/* Vantrell skin 1 */", so a file that is
//     not a skin at all is refused instead of half applied;
//   - comment lines of the form "/* palette Role=#rrggbb Role=#rrggbb ... */"
//     (Role a QPalette colour role such as Window, Base, Button, Highlight) give
//     the colours of controls that paint themselves from the palette, such as
//     the progress bar; to Qt they are ordinary comments.
//
// Use: load() the file, make the settings, then apply() to a window.
class SkinEngine {
public:
    enum Option {
        // Skin the whole program: every window, present and later (the change
        // options window, message boxes), not only the one given to apply().
        SkinWholeProgram = 1,
    };

    SkinEngine() = default;
    SkinEngine(const SkinEngine &) = delete;
    SkinEngine &operator=(const SkinEngine &) = delete;

    // Reads and checks a skin file; `additions` is style sheet text put after
    // the file's (empty: none). Throws Failure when the file cannot be read, is
    // empty, lacks the header, has a bad palette line or unbalanced braces or
    // comments; the engine then keeps what it had loaded before.
    void load(const QString &path, const QString &additions);
    bool isLoaded() const { return m_loaded; }
    const QString &styleSheet() const { return m_styleSheet; }
    const QPalette &palette() const { return m_palette; } // only the roles the skin names are set

    // Bits of Option.
    int options() const { return m_options; }
    void setOptions(int options) { m_options = options; }

    // Also give controls the skin's palette colours, so those that paint
    // themselves match the style sheet.
    bool usesSkinPalette() const { return m_useSkinPalette; }
    void setUseSkinPalette(bool use) { m_useSkinPalette = use; }

    // Draw skinned controls on Qt's own Fusion style, so the skin looks the same
    // on every desktop instead of mixing with the desktop theme's drawing.
    bool usesCommonStyle() const { return m_useCommonStyle; }
    void setUseCommonStyle(bool use) { m_useCommonStyle = use; }

    // Skins the window (or, with SkinWholeProgram, the whole program) with the
    // loaded skin. Throws Failure when nothing is loaded or there is no window.
    void apply(QWidget *window);
    // Takes back what apply() did.
    void remove();

private:
    QString m_styleSheet;
    QPalette m_palette;
    bool m_loaded = false;
    int m_options = 0;
    bool m_useSkinPalette = false;
    bool m_useCommonStyle = false;

    // What apply() changed, so remove() can put it back.
    bool m_appliedToProgram = false;
    QString m_programStyleSheetBefore;
    QPalette m_programPaletteBefore;
    QString m_programStyleBefore;
    QPointer<QWidget> m_window;
    QPalette m_windowPaletteBefore;
    QPointer<QStyle> m_windowStyle; // a child of the window, so it goes with it
};

#include "platform/SkinEngine.h"

#include "platform/Failure.h"

#include <QApplication>
#include <QFile>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include <functional>

namespace {

const QString Header = QStringLiteral("/* Vantrell skin 1 */");
const QString CommonStyle = QStringLiteral("Fusion");

// "The skin file "<path>" <fault>"
Failure skinFault(const QString &path, const QString &fault)
{
    return Failure(QStringLiteral("The skin file \"%1\" %2").arg(path, fault));
}

// "/* palette Window=#eef1f5 Base=#ffffff */" lines; anything else is left to Qt.
QPalette readPalette(const QString &path, const QStringList &lines)
{
    static const QRegularExpression paletteLine(QStringLiteral("^/\\*\\s*palette\\s+(.*)\\*/$"));
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    QPalette palette;
    palette.setResolveMask(0);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto match = paletteLine.match(lines[i].trimmed());
        if (!match.hasMatch())
            continue;
        const QStringList entries = match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString &entry : entries) {
            const QString roleName = entry.section(QLatin1Char('='), 0, 0);
            const QString colourName = entry.section(QLatin1Char('='), 1);
            bool known = false;
            const int role = roles.keyToValue(roleName.toLatin1().constData(), &known);
            const QColor colour = QColor::fromString(colourName);
            if (!known || !colour.isValid() || role == QPalette::NoRole || role == QPalette::NColorRoles)
                throw skinFault(
                    path, QStringLiteral("has a bad palette entry \"%1\" on line %2.").arg(entry).arg(i + 1));
            palette.setColor(QPalette::ColorRole(role), colour);
        }
    }
    return palette;
}

// Qt accepts a broken style sheet silently and drops what it cannot parse, so
// the skin is checked for the faults that would lose whole rules: braces and
// comments that do not close, and quotes left open.
void checkStructure(const QString &path, const QString &text)
{
    int depth = 0;
    int line = 1;
    int openedOn = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            ++line;
        } else if (c == QLatin1Char('/') && i + 1 < text.size() && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                throw skinFault(path, QStringLiteral("has a comment opened on line %1 that never closes.").arg(line));
            line += int(text.mid(i, end - i).count(QLatin1Char('\n')));
            i = end + 1;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype end = text.indexOf(c, i + 1);
            if (end < 0 || text.mid(i, end - i).contains(QLatin1Char('\n')))
                throw skinFault(path, QStringLiteral("has a quote on line %1 that never closes.").arg(line));
            i = end;
        } else if (c == QLatin1Char('{')) {
            if (depth++ == 0)
                openedOn = line;
        } else if (c == QLatin1Char('}')) {
            if (--depth < 0)
                throw skinFault(path, QStringLiteral("has a \"}\" on line %1 that closes nothing.").arg(line));
        }
    }
    if (depth > 0)
        throw skinFault(path, QStringLiteral("has a \"{\" on line %1 that never closes.").arg(openedOn));
}

void forWindowAndDescendants(QWidget *window, const std::function<void(QWidget *)> &action)
{
    action(window);
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children)
        action(child);
}

} // namespace

void SkinEngine::load(const QString &path, const QString &additions)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw skinFault(path, QStringLiteral("could not be read: %1").arg(file.errorString()));
    const QString text = QString::fromUtf8(file.readAll());
    if (file.error() != QFileDevice::NoError)
        throw skinFault(path, QStringLiteral("could not be read: %1").arg(file.errorString()));
    if (text.trimmed().isEmpty())
        throw skinFault(path, QStringLiteral("is empty."));

    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.first().trimmed() != Header)
        throw skinFault(path, QStringLiteral("is not a skin: its first line must read \"%1\".").arg(Header));
    const QPalette palette = readPalette(path, lines);
    checkStructure(path, text);
    if (!additions.isEmpty())
        checkStructure(QStringLiteral("(additions)"), additions);

    m_styleSheet = additions.isEmpty() ? text : text + QLatin1Char('\n') + additions;
    m_palette = palette;
    m_loaded = true;
}

void SkinEngine::apply(QWidget *window)
{
    if (!m_loaded)
        throw Failure(QStringLiteral("No skin is loaded."));
    if (!window)
        throw Failure(QStringLiteral("There is no window to skin."));
    remove();

    if (m_options & SkinWholeProgram) {
        m_appliedToProgram = true;
        m_programStyleSheetBefore = qApp->styleSheet();
        m_programPaletteBefore = QApplication::palette();
        m_programStyleBefore = QApplication::style()->name();
        // The style goes first: a new style brings its own palette, which the
        // skin's colours then override.
        if (m_useCommonStyle)
            QApplication::setStyle(CommonStyle);
        if (m_useSkinPalette)
            QApplication::setPalette(m_palette.resolve(QApplication::palette()));
        qApp->setStyleSheet(m_styleSheet);
        return;
    }

    m_window = window;
    m_windowPaletteBefore = window->palette();
    if (m_useCommonStyle) {
        m_windowStyle = QStyleFactory::create(CommonStyle);
        if (m_windowStyle) {
            m_windowStyle->setParent(window); // goes with the window
            forWindowAndDescendants(window, [this](QWidget *w) { w->setStyle(m_windowStyle); });
        }
    }
    if (m_useSkinPalette)
        window->setPalette(m_palette.resolve(window->palette()));
    window->setStyleSheet(m_styleSheet);
}

void SkinEngine::remove()
{
    if (m_appliedToProgram) {
        m_appliedToProgram = false;
        // Without a style sheet the program's style is its own again, not the sheet's wrapper.
        qApp->setStyleSheet(QString());
        if (!m_programStyleBefore.isEmpty() && QApplication::style()->name() != m_programStyleBefore)
            QApplication::setStyle(m_programStyleBefore);
        QApplication::setPalette(m_programPaletteBefore);
        qApp->setStyleSheet(m_programStyleSheetBefore);
    }
    if (m_window) {
        m_window->setStyleSheet(QString());
        m_window->setPalette(m_windowPaletteBefore);
        if (m_windowStyle)
            forWindowAndDescendants(m_window, [this](QWidget *w) {
                if (w->style() == m_windowStyle)
                    w->setStyle(nullptr);
            });
    }
    delete m_windowStyle.data();
    m_window = nullptr;
}

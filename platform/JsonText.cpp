#include "platform/JsonText.h"

namespace JsonText {

void appendString(QByteArray &json, const QString &text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    // At most six bytes a unit (an escape), written in place: a journal and a
    // chunk of the embedded engine take every record of a run.
    const qsizetype start = json.size();
    json.resize(start + 6 * size + 2);
    char *out = json.data() + start;
    *out++ = '"';
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit >= 0x20 && unit < 0x80 && unit != u'"' && unit != u'\\') {
            *out++ = char(unit);
        } else if (unit == u'"' || unit == u'\\') {
            *out++ = '\\';
            *out++ = char(unit);
        } else if (unit == u'\n' || unit == u'\r' || unit == u'\t') {
            *out++ = '\\';
            *out++ = unit == u'\n' ? 'n' : unit == u'\r' ? 'r' : 't';
        } else if (unit < 0x20) {
            for (char c : { '\\', 'u', '0', '0', Hex[unit >> 4], Hex[unit & 0xf] })
                *out++ = c;
        } else if (unit < 0x800) {
            *out++ = char(0xc0 | (unit >> 6));
            *out++ = char(0x80 | (unit & 0x3f));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t point = QChar::surrogateToUcs4(unit, units[++i]);
            *out++ = char(0xf0 | (point >> 18));
            *out++ = char(0x80 | ((point >> 12) & 0x3f));
            *out++ = char(0x80 | ((point >> 6) & 0x3f));
            *out++ = char(0x80 | (point & 0x3f));
        } else if (QChar::isSurrogate(unit)) {
            for (char c :
                { '\\', 'u', Hex[unit >> 12], Hex[(unit >> 8) & 0xf], Hex[(unit >> 4) & 0xf], Hex[unit & 0xf] })
                *out++ = c;
        } else {
            *out++ = char(0xe0 | (unit >> 12));
            *out++ = char(0x80 | ((unit >> 6) & 0x3f));
            *out++ = char(0x80 | (unit & 0x3f));
        }
    }
    *out++ = '"';
    json.resize(out - json.data());
}

void appendArray(QByteArray &json, const QList<QVariant> &values)
{
    json += '[';
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            json += ',';
        if (values.at(i).isValid())
            appendString(json, values.at(i).toString());
        else
            json += "null";
    }
    json += ']';
}

} // namespace JsonText

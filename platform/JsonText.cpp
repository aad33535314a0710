#include "platform/JsonText.h"

namespace JsonText {

void appendString(QByteArray &json, const QString &text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    json += '"';
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit == u'"' || unit == u'\\') {
            json += '\\';
            json += char(unit);
        } else if (unit == u'\n') {
            json += "\\n";
        } else if (unit == u'\r') {
            json += "\\r";
        } else if (unit == u'\t') {
            json += "\\t";
        } else if (unit < 0x20) {
            json += "\\u00";
            json += Hex[unit >> 4];
            json += Hex[unit & 0xf];
        } else if (unit < 0x80) {
            json += char(unit);
        } else if (unit < 0x800) {
            json += char(0xc0 | (unit >> 6));
            json += char(0x80 | (unit & 0x3f));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t point = QChar::surrogateToUcs4(unit, units[++i]);
            json += char(0xf0 | (point >> 18));
            json += char(0x80 | ((point >> 12) & 0x3f));
            json += char(0x80 | ((point >> 6) & 0x3f));
            json += char(0x80 | (point & 0x3f));
        } else if (QChar::isSurrogate(unit)) {
            json += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                json += Hex[(unit >> shift) & 0xf];
        } else {
            json += char(0xe0 | (unit >> 12));
            json += char(0x80 | ((unit >> 6) & 0x3f));
            json += char(0x80 | (unit & 0x3f));
        }
    }
    json += '"';
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

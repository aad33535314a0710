#include "platform/CodePage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <unordered_map>
#endif

namespace CodePage {

namespace {

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7f)
            return false;
    return true;
}

#ifdef _WIN32

bool convertsStrictly(const QString &text, unsigned codePage)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    // The "used default character" flag is refused by UTF-7/UTF-8 and a few
    // others; those hold every character or are not text code pages at all.
    BOOL usedDefault = FALSE;
    const int size
        = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, nullptr, &usedDefault);
    if (usedDefault)
        return false;
    // WC_NO_BEST_FIT_CHARS already refuses look-alikes; the way back catches
    // what some double-byte code pages still fold.
    const int back = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (back != length)
        return false;
    std::wstring again(size_t(back), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, again.data(), back);
    return again == std::wstring(wide, size_t(length));
}

#else

// iconv conversions are made once per code page and direction; the strict form
// (no //TRANSLIT, no //IGNORE) stops at the first character the target lacks.
class Converter {
public:
    Converter(const char *to, const char *from)
        : m_handle(iconv_open(to, from))
    {
    }
    ~Converter()
    {
        if (valid())
            iconv_close(m_handle);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool valid() const { return m_handle != iconv_t(-1); }

    // Converts all of the input or gives false.
    bool convert(const QByteArray &input, QByteArray &output)
    {
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr); // fresh shift state
        output.resize(input.size() * 4 + 16);
        char *in = const_cast<char *>(input.constData());
        size_t inLeft = size_t(input.size());
        char *out = output.data();
        size_t outLeft = size_t(output.size());
        if (iconv(m_handle, &in, &inLeft, &out, &outLeft) == size_t(-1))
            return false;
        if (iconv(m_handle, nullptr, nullptr, &out, &outLeft) == size_t(-1))
            return false;
        output.resize(output.size() - qsizetype(outLeft));
        return inLeft == 0;
    }

private:
    iconv_t m_handle;
};

struct CodePageConverters {
    explicit CodePageConverters(unsigned codePage)
        : name(QByteArrayLiteral("CP") + QByteArray::number(codePage))
        , toCodePage(name.constData(), "UTF-8")
        , fromCodePage("UTF-8", name.constData())
    {
    }
    QByteArray name;
    Converter toCodePage;
    Converter fromCodePage;
};

bool convertsStrictly(const QString &text, unsigned codePage)
{
    static std::mutex lock;
    static std::unordered_map<unsigned, std::unique_ptr<CodePageConverters>> converters;
    std::lock_guard guard(lock);
    auto &entry = converters[codePage];
    if (!entry)
        entry = std::make_unique<CodePageConverters>(codePage);
    if (!entry->toCodePage.valid() || !entry->fromCodePage.valid())
        return false;
    const QByteArray utf8 = text.toUtf8();
    QByteArray stored;
    QByteArray back;
    return entry->toCodePage.convert(utf8, stored) && entry->fromCodePage.convert(stored, back) && back == utf8;
}

#endif

} // namespace

bool survives(const QString &text, unsigned codePage)
{
    if (codePage == 0 || codePage == Utf8 || isAscii(text))
        return true;
    return convertsStrictly(text, codePage);
}

} // namespace CodePage

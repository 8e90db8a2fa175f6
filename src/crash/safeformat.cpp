#include "safeformat.h"

#include <cstdint>

namespace {

class Sink {
public:
    Sink(char* out, std::size_t size) : m_out(out), m_room(size > 0), m_limit(size ? size - 1 : 0) {}
    void Put(char c)
    {
        if (m_length < m_limit)
            m_out[m_length++] = c;
    }
    void Repeat(char c, int count)
    {
        for (; count > 0; --count)
            Put(c);
    }
    std::size_t Finish()
    {
        if (m_room)
            m_out[m_length] = '\0';
        return m_length;
    }

private:
    char* m_out;
    bool m_room;
    std::size_t m_limit;
    std::size_t m_length = 0;
};

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
};

void PutPadded(Sink& sink, const Conversion& conversion, const char* text, int length, bool numeric)
{
    int pad = conversion.width > length ? conversion.width - length : 0;
    if (conversion.leftAlign) {
        for (int i = 0; i < length; ++i)
            sink.Put(text[i]);
        sink.Repeat(' ', pad);
        return;
    }
    if (numeric && conversion.zeroPad) {
        int i = 0;
        if (length > 0 && text[0] == '-') {
            sink.Put('-');
            i = 1;
        }
        sink.Repeat('0', pad);
        for (; i < length; ++i)
            sink.Put(text[i]);
        return;
    }
    sink.Repeat(' ', pad);
    for (int i = 0; i < length; ++i)
        sink.Put(text[i]);
}

// Digits of value in the given base, most significant first; returns the count.
int Digits(char* buffer, std::uint64_t value, unsigned base, bool upper, bool negative)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[24];
    int count = 0;
    do {
        reversed[count++] = digits[value % base];
        value /= base;
    } while (value);
    int length = 0;
    if (negative)
        buffer[length++] = '-';
    while (count)
        buffer[length++] = reversed[--count];
    return length;
}

enum class Length { Int, Char, Short, Long, LongLong, Size };

std::uint64_t UnsignedArg(va_list& args, Length length)
{
    switch (length) {
    case Length::Char: return static_cast<unsigned char>(va_arg(args, unsigned int));
    case Length::Short: return static_cast<unsigned short>(va_arg(args, unsigned int));
    case Length::Long: return va_arg(args, unsigned long);
    case Length::LongLong: return va_arg(args, unsigned long long);
    case Length::Size: return va_arg(args, std::size_t);
    default: return va_arg(args, unsigned int);
    }
}

std::int64_t SignedArg(va_list& args, Length length)
{
    switch (length) {
    case Length::Char: return static_cast<signed char>(va_arg(args, int));
    case Length::Short: return static_cast<short>(va_arg(args, int));
    case Length::Long: return va_arg(args, long);
    case Length::LongLong: return va_arg(args, long long);
    case Length::Size: return static_cast<std::int64_t>(va_arg(args, std::size_t));
    default: return va_arg(args, int);
    }
}

} // namespace

std::size_t SafeFormatV(char* out, std::size_t size, const char* format, va_list argsIn)
{
    va_list args;
    va_copy(args, argsIn);
    Sink sink(out, size);
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            sink.Put(*p);
            continue;
        }
        ++p;
        Conversion conversion;
        for (;; ++p) {
            if (*p == '-')
                conversion.leftAlign = true;
            else if (*p == '0')
                conversion.zeroPad = true;
            else
                break;
        }
        if (*p == '*') {
            conversion.width = va_arg(args, int);
            ++p;
        }
        while (*p >= '0' && *p <= '9')
            conversion.width = conversion.width * 10 + (*p++ - '0');
        if (*p == '.') {
            ++p;
            conversion.precision = 0;
            if (*p == '*') {
                conversion.precision = va_arg(args, int);
                ++p;
            }
            while (*p >= '0' && *p <= '9')
                conversion.precision = conversion.precision * 10 + (*p++ - '0');
        }
        Length length = Length::Int;
        if (*p == 'h') {
            length = p[1] == 'h' ? Length::Char : Length::Short;
            p += p[1] == 'h' ? 2 : 1;
        } else if (*p == 'l') {
            length = p[1] == 'l' ? Length::LongLong : Length::Long;
            p += p[1] == 'l' ? 2 : 1;
        } else if (*p == 'z') {
            length = Length::Size;
            ++p;
        }
        char number[32];
        switch (*p) {
        case 'd':
        case 'i': {
            std::int64_t value = SignedArg(args, length);
            bool negative = value < 0;
            std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : value;
            PutPadded(sink, conversion, number, Digits(number, magnitude, 10, false, negative), true);
            break;
        }
        case 'u':
            PutPadded(sink, conversion, number, Digits(number, UnsignedArg(args, length), 10, false, false), true);
            break;
        case 'x':
        case 'X':
            PutPadded(sink, conversion, number, Digits(number, UnsignedArg(args, length), 16, *p == 'X', false), true);
            break;
        case 'p': {
            auto value = reinterpret_cast<std::uintptr_t>(va_arg(args, void*));
            number[0] = '0';
            number[1] = 'x';
            PutPadded(sink, conversion, number, 2 + Digits(number + 2, value, 16, false, false), false);
            break;
        }
        case 'c': {
            char c = static_cast<char>(va_arg(args, int));
            PutPadded(sink, conversion, &c, 1, false);
            break;
        }
        case 's': {
            const char* text = va_arg(args, const char*);
            if (!text)
                text = "(null)";
            int n = 0;
            while (text[n] && (conversion.precision < 0 || n < conversion.precision))
                ++n;
            PutPadded(sink, conversion, text, n, false);
            break;
        }
        case '%': sink.Put('%'); break;
        case '\0': --p; break;
        default: // unknown conversion: copy it so the mistake shows
            sink.Put('%');
            sink.Put(*p);
            break;
        }
    }
    va_end(args);
    return sink.Finish();
}

std::size_t SafeFormat(char* out, std::size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::size_t length = SafeFormatV(out, size, format, args);
    va_end(args);
    return length;
}

#pragma once
// UTF-8 as RFC 3629 has it (no overlong forms, no surrogates, nothing past
// U+10FFFF): what Qt's decoder takes without a replacement character. For
// readers and writers of large files that keep texts as bytes.

#include <QByteArrayView>

#include <cstring>

namespace placeva {

// The length of the UTF-8 sequence at s (`left` bytes on), or 0 where there
// is none.
inline int utf8Length(const unsigned char *s, qsizetype left)
{
    const unsigned char c = s[0];
    if (c < 0x80)
        return 1;
    int length;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4;
    else
        return 0;
    if (left < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return 0;
    }
    if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xF0 && s[1] < 0x90) // overlong
        || (c == 0xED && s[1] >= 0xA0)                           // a surrogate
        || (c == 0xF4 && s[1] >= 0x90))                          // past U+10FFFF
        return 0;
    return length;
}

inline char32_t utf8CodePoint(const unsigned char *s, int length)
{
    if (length == 1)
        return s[0];
    char32_t c = s[0] & (0x7F >> length);
    for (int k = 1; k < length; ++k)
        c = (c << 6) | (s[k] & 0x3F);
    return c;
}

// The 8 bytes at s as one word, for looking at ASCII text 8 bytes at a time.
inline quint64 eightBytes(const unsigned char *s)
{
    quint64 w;
    std::memcpy(&w, s, sizeof w);
    return w;
}
inline constexpr quint64 kHighBits = 0x8080808080808080ull;

// Whether all of `bytes` is UTF-8; with `noNonCharacterFFFx`, also without
// U+FFFE and U+FFFF, which SQLite's UTF-16 conversion turns into U+FFFD.
inline bool isUtf8(QByteArrayView bytes, bool noNonCharacterFFFx = false)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        if (i + 8 <= n && (eightBytes(s + i) & kHighBits) == 0) {
            i += 8;
            continue;
        }
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const int length = utf8Length(s + i, n - i);
        if (length == 0)
            return false;
        if (noNonCharacterFFFx && length == 3 && s[i] == 0xEF && s[i + 1] == 0xBF && s[i + 2] >= 0xBE)
            return false;
        i += length;
    }
    return true;
}

} // namespace placeva

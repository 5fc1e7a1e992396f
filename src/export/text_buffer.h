#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

// Text of an export built up in one growing block: appending numbers and
// short pieces costs no allocation per line, which keeps a full capture's
// export (hundreds of thousands of lines) to a few milliseconds. The block
// is handed over as it is, without a copy; a close estimate for reserve()
// saves the copies of growing it.
class TextBuffer {
public:
    void reserve(size_t bytes) { text_.reserve(qsizetype(bytes)); }
    TextBuffer &operator<<(char c)
    {
        text_.append(c);
        return *this;
    }
    TextBuffer &operator<<(const char *s)
    {
        text_.append(s);
        return *this;
    }
    TextBuffer &operator<<(const std::string &s)
    {
        append(s.data(), s.size());
        return *this;
    }
    TextBuffer &operator<<(const QString &s)
    {
        text_.append(s.toUtf8());
        return *this;
    }
    TextBuffer &operator<<(int64_t v)
    {
        char tmp[24];
        char *end = tmp + sizeof tmp;
        char *p = end;
        uint64_t mag = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
        do {
            *--p = char('0' + mag % 10);
            mag /= 10;
        } while (mag != 0);
        if (v < 0)
            *--p = '-';
        append(p, size_t(end - p));
        return *this;
    }
    TextBuffer &operator<<(int v) { return *this << int64_t(v); }
    void append(const char *p, size_t n) { text_.append(p, qsizetype(n)); }

    // The text; the buffer is empty afterwards.
    QByteArray take() { return std::move(text_); }

private:
    QByteArray text_;
};

#include "image/number_text.h"

#include "codec/logo_format.h"

#include <QList>

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace vantrel {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Walks the text as the reading rules see it: blanks skipped everywhere.
class Cursor {
public:
    explicit Cursor(QStringView text) : m_text(text) { skipBlanks(); }

    bool atEnd() const { return m_at >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text[m_at]; }
    void advance()
    {
        ++m_at;
        skipBlanks();
    }

private:
    void skipBlanks()
    {
        while (!atEnd() && isBlank(m_text[m_at]))
            ++m_at;
    }

    QStringView m_text;
    qsizetype m_at = 0;
};

// Whole numbers of any length kept within a bound, for exponents.
long long saturatingAppend(long long value, int digit)
{
    constexpr long long kBound = 1'000'000'000'000LL;
    return value >= kBound ? kBound : value * 10 + digit;
}

// The part of a number before its exponent, as read so far.
struct Mantissa {
    bool negative = false;
    // The sign, digits and point read, for std::from_chars.
    std::string text;
    int digits = 0;
    // Whether a digit other than 0 came yet, and where the first one
    // stands, so that a number the double cannot hold can be told too large
    // or too small.
    bool significant = false;
    long long leadingIntegerDigits = 0;
    long long leadingFractionZeros = 0;
};

// An optional sign; true when it is a minus.
bool readSign(Cursor &cursor)
{
    if (cursor.peek() != u'+' && cursor.peek() != u'-')
        return false;
    const bool negative = cursor.peek() == u'-';
    cursor.advance();
    return negative;
}

// A run of digits, of the whole part or of the fraction.
void readDigits(Cursor &cursor, Mantissa &mantissa, bool fraction)
{
    while (isDigit(cursor.peek())) {
        const char c = char(cursor.peek().unicode());
        if (fraction && !mantissa.significant && c == '0')
            ++mantissa.leadingFractionZeros;
        mantissa.significant = mantissa.significant || c != '0';
        if (!fraction && mantissa.significant)
            ++mantissa.leadingIntegerDigits;
        mantissa.text += c;
        ++mantissa.digits;
        cursor.advance();
    }
}

// An optional sign, then the digits before and after an optional decimal
// point.
Mantissa readMantissa(Cursor &cursor)
{
    Mantissa mantissa;
    mantissa.negative = readSign(cursor);
    if (mantissa.negative)
        mantissa.text += '-';
    readDigits(cursor, mantissa, false);
    if (cursor.peek() == u'.') {
        mantissa.text += '.';
        cursor.advance();
        readDigits(cursor, mantissa, true);
    }
    return mantissa;
}

// The exponent after an "e" or "E" with an optional sign; 0 when there is
// none. An exponent without digits ("1e", "1e-") counts as none.
long long readExponent(Cursor &cursor)
{
    if (cursor.peek() != u'e' && cursor.peek() != u'E')
        return 0;
    cursor.advance();
    const bool negative = readSign(cursor);
    long long exponent = 0;
    while (isDigit(cursor.peek())) {
        exponent = saturatingAppend(exponent, cursor.peek().unicode() - u'0');
        cursor.advance();
    }
    return negative ? -exponent : exponent;
}

// The mantissa times ten to the exponent as a double: std::nullopt when it
// is too large for one, a zero of the number's sign when too small.
std::optional<double> toDouble(Mantissa mantissa, long long exponent)
{
    const double zero = mantissa.negative ? -0.0 : 0.0;
    if (!mantissa.significant)
        return zero;
    mantissa.text += 'e';
    mantissa.text += std::to_string(exponent);

    double value = 0;
    const std::string &number = mantissa.text;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc())
        return value;
    // Out of range: too large, or too small to be told from 0.
    const long long magnitude =
        (mantissa.leadingIntegerDigits > 0 ? mantissa.leadingIntegerDigits
                                           : -mantissa.leadingFractionZeros) +
        exponent;
    if (magnitude > 0)
        return std::nullopt;
    return zero;
}

} // namespace

std::optional<double> readNumber(QStringView text)
{
    Cursor cursor(text);
    const Mantissa mantissa = readMantissa(cursor);
    if (mantissa.digits == 0)
        return 0.0;
    return toDouble(mantissa, readExponent(cursor));
}

QString displayNumber(double value)
{
    if (!std::isfinite(value))
        return {};
    QString text = std::signbit(value) && value != 0 ? QStringLiteral("-") : QStringLiteral(" ");
    if (value == 0)
        return text + u'0';

    // Fifteen significant digits, as "d.dddddddddddddde+XX".
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                      std::fabs(value), std::chars_format::scientific, 14);
    const std::string scientific(buffer.data(), result.ptr);
    const std::size_t e = scientific.find('e');
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, e - 2);
    const int exponent = std::stoi(scientific.substr(e + 1));

    std::string whole;
    std::string fraction;
    if (exponent >= 0) {
        const auto wholeDigits = std::size_t(exponent) + 1;
        if (wholeDigits >= digits.size()) {
            whole = digits + std::string(wholeDigits - digits.size(), '0');
        } else {
            whole = digits.substr(0, wholeDigits);
            fraction = digits.substr(wholeDigits);
        }
    } else {
        whole = "0";
        fraction = std::string(std::size_t(-exponent - 1), '0') + digits;
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    text += QString::fromLatin1(whole);
    if (!fraction.empty())
        text += u'.' + QString::fromLatin1(fraction);
    return text;
}

double roundHalfToEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    // Exact: below and value are within one of each other.
    const double part = value - below;
    if (part > 0.5)
        return below + 1;
    if (part < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

TypedStartEntry readTypedStartEntry(QStringView text)
{
    const std::optional<double> typed = readNumber(text);
    if (!typed)
        return {};
    double x = *typed;
    if (x < 0)
        x = 1;
    if (x > 256)
        x = 256;
    const double rounded = roundHalfToEven(x);
    if (rounded < kMinStartEntry || rounded > kMaxStartEntry)
        return {displayNumber(x), std::nullopt};
    return {displayNumber(x), int(rounded)};
}

namespace {

// Decimal digits only, blanks around allowed; the value when it is at most
// `largest`.
std::optional<int> readSmallWholeNumber(const QString &stored, int largest)
{
    const QString text = stored.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > largest)
            return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<int> readStoredStartEntry(const QString &stored)
{
    const std::optional<int> value = readSmallWholeNumber(stored, 255);
    if (!value || *value < 1)
        return std::nullopt;
    return value;
}

std::optional<int> readStoredCheckValue(const QString &stored)
{
    return readSmallWholeNumber(stored, 2);
}

QString proposeTarget(const QString &source)
{
    const QString preset = QStringLiteral("*.SYS");
    if (source == QLatin1String("Source File"))
        return preset;
    const QList<uint> characters = source.toUcs4();
    if (characters.size() < 3)
        return preset;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()),
                             characters.size() - 3) +
           QStringLiteral("sys");
}

} // namespace vantrel
